#pragma once

#include <QMargins>
#include <QPoint>
#include <QSize>

class QWidget;

namespace vemba::placement {

// Under a Wayland session with XWayland at hand, and no platform chosen by the
// user, runs the window through XWayland, where it can keep its position.
// Called before the application object is made.
void preferPlaceableWindows();

// Whether the platform lets a program read and set its window's position:
// under Wayland a client can do neither (Qt reports 0, 0).
bool canPlaceWindows();

// The frame around `window`: its own once it has been shown, else the frame
// a window manager is likely to draw.
QMargins frameMargins(const QWidget& window);

// Where a window of `size` inside `frame` goes when `wanted` (the frame's top
// left corner) is asked for: there, if enough of its title bar lies on some
// screen to grab it; otherwise with the whole frame on the primary screen, as
// near to `wanted` as it fits.
QPoint reachablePosition(QPoint wanted, QSize size, QMargins frame);

// A stored position in twips as logical pixels, held within a range where
// the window system's coordinates cannot overflow.
int pixelsFromTwips(double twips);

} // namespace vemba::placement
