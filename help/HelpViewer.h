#pragma once

#include "ChmArchive.h"
#include "Sitemap.h"

#include <QTextBrowser>
#include <QWidget>
#include <initializer_list>
#include <memory>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vemba {

// The bounds of a page that Qt's text document lays out in well under a
// second. Layout time grows with the text and the elements, with the square
// of the nesting depth, and by about 2.4 times for each table nested in a
// table's cell: a page of 20 nested tables takes some 17 seconds, 40 would
// take years. An element weighs 3 to the power of the tables around it. The
// help file's pages hold a few hundred elements and tables at most two deep.
inline constexpr qsizetype kMaxPageChars = 512 * 1024;
inline constexpr std::size_t kMaxPageDepth = 256;
inline constexpr std::int64_t kMaxPageWeight = 20000;
// Whether a page keeps within those bounds, counted before Qt sees it.
bool CheapToLayOut(const QString& html);

// The page pane: its pages, style sheets and pictures come from the help
// file, under URLs of the form chm:/path; nothing else is ever opened, not
// even a path on the disk that a page names. A page beyond the layout bounds
// is refused with a line of text. It owns the open file, so that the file
// outlives every read of the pane.
class HelpBrowser : public QTextBrowser {
public:
    // A picture's largest side in pixels; the help file's are a few hundred.
    static constexpr int kMaxPictureSide = 4096;

    HelpBrowser(std::unique_ptr<ChmArchive> archive, QWidget* parent);
    QVariant loadResource(int type, const QUrl& name) override;
    const ChmArchive& archive() const { return *m_archive; }

private:
    static bool decodes(const QByteArray& bytes);
    // What a picture that is not in the file shows: the style's file icon.
    static QByteArray missingPicture();

    std::unique_ptr<ChmArchive> m_archive;
};

// The window that stands in for the HTML Help viewer: the table of contents
// and the keyword index beside the page, with back and forward. It is a
// window of its own, owned by no other, and frees itself when closed.
class HelpViewer : public QWidget {
public:
    // The viewer of an opened file, or nullptr when the file has no page to
    // start at (neither its default topic nor any entry of its contents).
    static HelpViewer* create(std::unique_ptr<ChmArchive> archive, const QString& filePath);

    QString filePath() const { return m_filePath; }

    // Goes to a link of the current page: a page of the help file here, a
    // web or mail address in the desktop's browser; anything else is ignored.
    void followLink(const QUrl& link);
    // Shows the table of contents beside the page, whichever tab was chosen.
    void showContents();
    // Goes to a page of the help file given as its sitemap "Local" value.
    void showTopic(const QString& local);

private:
    HelpViewer(std::unique_ptr<ChmArchive> archive, QString filePath, const QString& start);
    QToolButton* makeButton(const QString& name, const QString& text, Qt::ArrowType arrow);
    void setUpPanes();
    void layOut(std::initializer_list<QToolButton*> buttons);
    void connectLists();
    void fillContents(QTreeWidgetItem* parent, const std::vector<SitemapEntry>& entries);
    void fillIndex(const std::vector<SitemapEntry>& entries, int depth);
    void filterIndex(const QString& text);

    QString m_filePath;
    HelpBrowser* m_browser;
    QTreeWidget* m_contents;
    QListWidget* m_index;
    QLineEdit* m_filter;
    QTabWidget* m_tabs = nullptr;
};

// The URL of a page inside a help file.
QUrl chmUrl(const QString& local);

} // namespace vemba
