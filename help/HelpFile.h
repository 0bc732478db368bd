#pragma once

#include <QString>

namespace vemba {

// The help file of a program directory: the directory followed directly by
// "/Vemba_PC.chm", formed anew on every call.
QString helpFilePath(const QString& programDir);

} // namespace vemba
