#pragma once

#include <QString>
#include <cstdint>
#include <qwindowdefs.h>

class QWidget;

namespace vemba {

// The HTML Help command that opens a help file at its table of contents, the
// only one this program uses.
inline constexpr unsigned HH_DISPLAY_TOC = 1;

// Opens the viewer of a compiled help file (.chm) and returns its window
// handle, or 0 when the file cannot be opened (missing, unreadable, not a help
// file, damaged) or the command is not HH_DISPLAY_TOC; then nothing is shown.
// A viewer already showing the same file is brought forward instead, on its
// table of contents, and its handle returned. The viewer has no owner: it stays open, and keeps the
// program running, after the caller's window has closed.
WId HtmlHelp(WId caller, const QString& file, unsigned command, std::uintptr_t data);

// Shows a window of its own and brings it forward, restored if it was
// minimized (show and raise leave a minimized window as it is), and active.
void BringForward(QWidget& window);

// The help file at its table of contents: HtmlHelp with HH_DISPLAY_TOC and 0.
WId OpenHelpContents(WId caller, const QString& path);

} // namespace vemba
