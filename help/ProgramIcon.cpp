#include "ProgramIcon.h"

namespace vemba {

QIcon programIcon() {
    QIcon icon;
    // Added one by one: QIcon picks up an "@2x" file by itself only when the
    // screen is already at twice the density as the icon is made.
    for (const char* size : {"16", "22", "24", "28", "28@2x", "32", "48", "64"}) {
        icon.addFile(QStringLiteral(":/icons/vemba-pc-%1.png").arg(QLatin1String(size)));
    }
    return icon;
}

} // namespace vemba
