#include "HelpFile.h"

namespace vemba {

QString HelpFilePath(const QString& programDir) {
    return programDir + QStringLiteral("/Vemba_PC.chm");
}

} // namespace vemba
