#include "HtmlHelp.h"

#include "HelpViewer.h"

#include <QFileInfo>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <vector>

namespace vemba {

namespace {

// The open viewers; a closed one deletes itself and drops out.
std::vector<QPointer<HelpViewer>>& openViewers() {
    static std::vector<QPointer<HelpViewer>> viewers;
    return viewers;
}

} // namespace

WId HtmlHelp(WId /*caller*/, const QString& file, unsigned command, std::uintptr_t /*data*/) {
    if (command != HH_DISPLAY_TOC) {
        return 0;
    }
    const QString canonical = QFileInfo(file).canonicalFilePath();
    if (canonical.isEmpty()) {
        return 0;
    }
    auto& viewers = openViewers();
    std::erase_if(viewers, [](const QPointer<HelpViewer>& viewer) { return viewer.isNull(); });
    const auto open = std::find_if(viewers.begin(), viewers.end(), [&](const auto& viewer) {
        return viewer->filePath() == canonical;
    });
    HelpViewer* viewer = open != viewers.end() ? open->data() : nullptr;
    if (viewer == nullptr) {
        std::unique_ptr<ChmArchive> archive = ChmArchive::open(canonical);
        viewer = archive ? HelpViewer::create(std::move(archive), canonical) : nullptr;
        if (viewer == nullptr) {
            return 0;
        }
        viewers.emplace_back(viewer);
    }
    viewer->showContents();
    BringForward(*viewer);
    return viewer->winId();
}

void BringForward(QWidget& window) {
    window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window.show();
    window.raise();
    window.activateWindow();
}

WId OpenHelpContents(WId caller, const QString& path) {
    return HtmlHelp(caller, path, HH_DISPLAY_TOC, 0);
}

} // namespace vemba
