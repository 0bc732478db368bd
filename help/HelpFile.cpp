#include "HelpFile.h"

namespace vemba {

QString helpFilePath(const QString& programDir) {
    return programDir + QStringLiteral("/Vemba_PC.chm");
}

} // namespace vemba
