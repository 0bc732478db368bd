#pragma once

#include <QPoint>
#include <QSize>

namespace vemba::placement {

// Under a Wayland session with XWayland at hand, and no platform chosen by the
// user, runs the window through XWayland, where it can keep its position.
// Called before the application object is made.
void preferPlaceableWindows();

// Whether the platform lets a program read and set its window's position:
// under Wayland a client can do neither (Qt reports 0, 0).
bool canPlaceWindows();

// Where a window of the given outer size goes when `wanted` is asked for:
// there, if enough of its title bar lies on some screen to grab it; otherwise
// fully on the primary screen, as near to `wanted` as it fits.
QPoint reachablePosition(QPoint wanted, QSize outerSize);

// A stored position in twips as logical pixels, held within a range where
// the window system's coordinates cannot overflow.
int pixelsFromTwips(double twips);

} // namespace vemba::placement
