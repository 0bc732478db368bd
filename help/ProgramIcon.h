#pragma once

#include <QIcon>

namespace vemba {

// The program's icon for its windows, the help viewer's among them: the
// window icon's 28 pixels, its 56-pixel copy for screens at twice the density,
// and the sizes around them that title bars and task switchers ask for.
QIcon programIcon();

} // namespace vemba
