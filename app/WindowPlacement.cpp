#include "WindowPlacement.h"

#include "Twips.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace vemba::placement {

namespace {

// The title bar as the window manager draws it, before the window is shown
// and its real frame is known; and how much of it must be on a screen to be
// grabbed with the mouse.
constexpr int kTitleBarHeight = 24;
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

QPoint reachablePosition(QPoint wanted, QSize outerSize) {
    const QRect titleBar(wanted, QSize(outerSize.width(), kTitleBarHeight));
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect onScreen = titleBar.intersected(screen->availableGeometry());
        if (onScreen.width() >= std::min(kGrabWidth, outerSize.width()) &&
            onScreen.height() >= kGrabHeight) {
            return wanted;
        }
    }
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary == nullptr) {
        return wanted;
    }
    const QRect area = primary->availableGeometry();
    const int height = outerSize.height() + kTitleBarHeight;
    return {std::clamp(wanted.x(), area.left(),
                       std::max(area.left(), area.right() + 1 - outerSize.width())),
            std::clamp(wanted.y(), area.top(), std::max(area.top(), area.bottom() + 1 - height))};
}

int pixelsFromTwips(double twips) {
    const double pixels = std::clamp(twips / kTwipsPerPixel, -kFarthestPixels, kFarthestPixels);
    return static_cast<int>(std::lround(pixels));
}

} // namespace vemba::placement
