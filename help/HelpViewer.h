#pragma once

#include "ChmArchive.h"
#include "Sitemap.h"

#include <QTextBrowser>
#include <QWidget>
#include <memory>

class QLineEdit;
class QListWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace vemba {

// The page pane: its pages, style sheets and pictures come from the help
// file, under URLs of the form chm:/path; nothing is read from the disk. It
// owns the open file, so that the file outlives every read of the pane.
class HelpBrowser : public QTextBrowser {
public:
    HelpBrowser(std::unique_ptr<ChmArchive> archive, QWidget* parent);
    QVariant loadResource(int type, const QUrl& name) override;
    const ChmArchive& archive() const { return *m_archive; }

private:
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
    // Goes to a page of the help file given as its sitemap "Local" value.
    void showTopic(const QString& local);

private:
    HelpViewer(std::unique_ptr<ChmArchive> archive, QString filePath, const QString& start);
    void fillContents(QTreeWidgetItem* parent, const std::vector<SitemapEntry>& entries);
    void fillIndex(const std::vector<SitemapEntry>& entries, int depth);
    void filterIndex(const QString& text);

    QString m_filePath;
    HelpBrowser* m_browser;
    QTreeWidget* m_contents;
    QListWidget* m_index;
    QLineEdit* m_filter;
};

// The URL of a page inside a help file.
QUrl ChmUrl(const QString& local);

} // namespace vemba
