#pragma once

class QMainWindow;

namespace vemba {

// What the window's controls do beyond Qt's defaults, as on other desktops:
// - Tab and Shift+Tab reach each option group (every QButtonGroup of the
//   window) at its selected member; the arrow keys move the selection to
//   the previous or next member, round from one end to the other.
// - A control of the client area shows only its own tool tip: one without
//   a tool tip shows none, rather than its frame's.
void installControlBehavior(QMainWindow& window);

} // namespace vemba
