#include "WindowPlacement.h"

#include "Twips.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace vemba::placement {

namespace {

// The frame a window manager draws around a window that was never shown, so
// whose own frame is not known yet: a title bar and borders as thick as the
// common window managers draw them.
constexpr QMargins kLikelyFrame(4, 24, 4, 4);
// How much of the title bar must be on a screen to grab it with the mouse.
constexpr int kGrabWidth = 48;
constexpr int kGrabHeight = 12;
// Frames never lie further out than this; a stored value beyond it is junk.
constexpr double kFarthestPixels = 1'000'000.0;

} // namespace

void preferPlaceableWindows() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
}

bool canPlaceWindows() {
    return !QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
}

QMargins frameMargins(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QRect inside = window.geometry();
    if (frame == inside) {
        return kLikelyFrame;
    }
    return {inside.left() - frame.left(), inside.top() - frame.top(),
            frame.right() - inside.right(), frame.bottom() - inside.bottom()};
}

QPoint reachablePosition(QPoint wanted, QSize size, QMargins frame) {
    const QSize outer = QRect(QPoint(), size).marginsAdded(frame).size();
    const QRect titleBar(wanted, QSize(outer.width(), std::max(frame.top(), kGrabHeight)));
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect onScreen = titleBar.intersected(screen->availableGeometry());
        if (onScreen.width() >= std::min(kGrabWidth, outer.width()) &&
            onScreen.height() >= kGrabHeight) {
            return wanted;
        }
    }
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary == nullptr) {
        return wanted;
    }
    // The frame's right and bottom rows on the area's last ones.
    const QRect area = primary->availableGeometry();
    return {std::clamp(wanted.x(), area.left(),
                       std::max(area.left(), area.right() + 1 - outer.width())),
            std::clamp(wanted.y(), area.top(),
                       std::max(area.top(), area.bottom() + 1 - outer.height()))};
}

int pixelsFromTwips(double twips) {
    const double pixels = std::clamp(twips / kTwipsPerPixel, -kFarthestPixels, kFarthestPixels);
    return static_cast<int>(std::lround(pixels));
}

} // namespace vemba::placement
