// The help viewer on the help file the build compiles: where it opens, that
// every entry and link of the file leads somewhere, history and outside
// links, one viewer per file, and no window at all for a file it cannot use.

#include "HelpViewer.h"

#include "HelpFile.h"
#include "HtmlHelp.h"
#include "QtPrinters.h"
#include "UrlCatcher.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>
#include <functional>
#include <gtest/gtest.h>

namespace vemba {
namespace {

QString helpFile() {
    return HelpFilePath(qEnvironmentVariable("VEMBA_PROGRAM_DIR"));
}

QList<HelpViewer*> viewers() {
    QList<HelpViewer*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* viewer = dynamic_cast<HelpViewer*>(widget)) {
            found << viewer;
        }
    }
    return found;
}

// Every link, picture and anchor of a page, as written in it.
struct PageRefs {
    QStringList links;
    QStringList images;
    QStringList anchors;
};

PageRefs refsOf(const QTextDocument& document) {
    PageRefs refs;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            refs.anchors << format.anchorNames();
            if (format.isImageFormat()) {
                refs.images << format.toImageFormat().name();
            } else if (format.isAnchor() && !format.anchorHref().isEmpty()) {
                refs.links << format.anchorHref();
            }
        }
    }
    refs.links.removeDuplicates();
    return refs;
}

class HelpViewerTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (HelpViewer* viewer : viewers()) {
            viewer->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_TRUE(viewers().isEmpty());
    }

    // Opens the help file and finds the viewer that the handle names.
    HelpViewer* open() {
        const WId handle = OpenHelpContents(0, helpFile());
        for (HelpViewer* viewer : viewers()) {
            if (viewer->winId() == handle && handle != 0) {
                page = viewer->findChild<QTextBrowser*>(QStringLiteral("page"));
                return viewer;
            }
        }
        ADD_FAILURE() << "no viewer with the handle " << handle << " for "
                      << helpFile().toStdString();
        return nullptr;
    }

    // The page shown is the file's page at path, titled, and holds the
    // anchor when one is named.
    void expectShown(const QString& path, const QString& anchor, const QString& why) {
        SCOPED_TRACE(why.toStdString());
        EXPECT_EQ(page->source().path(), path);
        EXPECT_FALSE(page->documentTitle().isEmpty());
        EXPECT_TRUE(anchor.isEmpty() || refsOf(*page->document()).anchors.contains(anchor))
            << anchor.toStdString();
    }

    QTextBrowser* page = nullptr;
};

TEST_F(HelpViewerTest, OpensAtTheDefaultTopicBesideContentsAndIndex) {
    HelpViewer* viewer = open();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->parentWidget(), nullptr);
    EXPECT_EQ(viewer->windowTitle(), QStringLiteral("ヴェンバPC ヘルプ"));
    EXPECT_EQ(page->documentTitle(), QStringLiteral("ヴェンバPCについて"));
    EXPECT_TRUE(page->toPlainText().contains(QStringLiteral("トンボの羽音")));
    EXPECT_GE(viewer->findChild<QTreeWidget*>(QStringLiteral("contents"))->topLevelItemCount(), 5);
    auto* index = viewer->findChild<QListWidget*>(QStringLiteral("index"));
    const int keywords = index->count();
    EXPECT_GE(keywords, 20);

    // The filter keeps the keywords that hold its text, whatever the case.
    viewer->findChild<QLineEdit*>(QStringLiteral("filter"))->setText(QStringLiteral("SETTING"));
    QStringList shown;
    for (int row = 0; row < keywords; ++row) {
        if (!index->item(row)->isHidden()) {
            shown << index->item(row)->text();
        }
    }
    EXPECT_EQ(shown, QStringList{QStringLiteral("setting.ini")});
}

TEST_F(HelpViewerTest, EveryEntryOfContentsAndIndexOpensATitledPage) {
    HelpViewer* viewer = open();
    ASSERT_NE(viewer, nullptr);
    auto* contents = viewer->findChild<QTreeWidget*>(QStringLiteral("contents"));
    auto* index = viewer->findChild<QListWidget*>(QStringLiteral("index"));
    int entries = 0;
    const auto check = [&](const QVariant& local, const QString& name, const auto& activate) {
        ASSERT_TRUE(local.isValid()) << name.toStdString();
        page->setSource(QUrl(QStringLiteral("chm:/none.html"))); // away, so that a no-op fails
        activate();
        const QString target = local.toString();
        expectShown(ChmPath(target), target.section(QLatin1Char('#'), 1), name);
        ++entries;
    };
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* item) {
        check(item->data(0, Qt::UserRole), item->text(0),
              [&] { emit contents->itemActivated(item, 0); });
        for (int i = 0; i < item->childCount(); ++i) {
            walk(item->child(i));
        }
    };
    for (int i = 0; i < contents->topLevelItemCount(); ++i) {
        walk(contents->topLevelItem(i));
    }
    for (int row = 0; row < index->count(); ++row) {
        QListWidgetItem* item = index->item(row);
        check(item->data(Qt::UserRole), item->text(), [&] { emit index->itemActivated(item); });
    }
    EXPECT_GE(entries, 30);
}

TEST_F(HelpViewerTest, EveryLinkAndPictureOfEveryPageResolvesInTheFile) {
    HelpViewer* viewer = open();
    ASSERT_NE(viewer, nullptr);
    const std::unique_ptr<ChmArchive> archive = ChmArchive::open(helpFile());
    ASSERT_NE(archive, nullptr);
    int pages = 0;
    int links = 0;
    int images = 0;
    for (const QString& file : archive->files()) {
        if (!file.endsWith(QStringLiteral(".html"))) {
            continue;
        }
        ++pages;
        viewer->showTopic(file);
        expectShown(file, {}, file);
        const PageRefs refs = refsOf(*page->document());
        for (const QString& image : refs.images) {
            const QVariant bytes = page->loadResource(QTextDocument::ImageResource, QUrl(image));
            EXPECT_FALSE(QImage::fromData(bytes.toByteArray()).isNull()) << image.toStdString();
            ++images;
        }
        for (const QString& link : refs.links) {
            viewer->followLink(QUrl(link));
            const QUrl target = QUrl(QStringLiteral("chm:") + file).resolved(QUrl(link));
            expectShown(target.path(), target.fragment(), file + QStringLiteral(" → ") + link);
            viewer->showTopic(file);
            ++links;
        }
    }
    EXPECT_GE(pages, 5);
    EXPECT_GE(links, 20);
    EXPECT_GE(images, 1);
}

TEST_F(HelpViewerTest, HistoryGoesBackAndForwardAndOutsideLinksGoToTheDesktop) {
    HelpViewer* viewer = open();
    ASSERT_NE(viewer, nullptr);
    auto* back = viewer->findChild<QToolButton*>(QStringLiteral("back"));
    auto* forward = viewer->findChild<QToolButton*>(QStringLiteral("forward"));
    const QString start = page->source().path();
    EXPECT_FALSE(back->isEnabled());

    // A link goes from the page's own folder.
    viewer->showTopic(QStringLiteral("images/none.html"));
    viewer->followLink(QUrl(QStringLiteral("../bands.html#mid")));
    viewer->followLink(QUrl(QStringLiteral("caution.html")));
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "openUrl");
    viewer->followLink(QUrl(QStringLiteral("https://example.org/")));
    viewer->followLink(QUrl(QStringLiteral("file:///etc/passwd")));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    EXPECT_EQ(catcher.urls, QList<QUrl>{QUrl(QStringLiteral("https://example.org/"))});
    EXPECT_EQ(page->source().path(), QStringLiteral("/caution.html"));

    const std::vector<std::pair<QToolButton*, QString>> steps{
        {back, "/bands.html"},          {back, "/images/none.html"}, {back, start},
        {forward, "/images/none.html"}, {forward, "/bands.html"},    {forward, "/caution.html"}};
    for (const auto& [button, path] : steps) {
        ASSERT_TRUE(button->isEnabled()) << path.toStdString();
        button->click();
        EXPECT_EQ(page->source().path(), path);
    }
    EXPECT_FALSE(forward->isEnabled());
}

TEST_F(HelpViewerTest, ASecondCallRaisesTheOpenViewer) {
    const WId first = OpenHelpContents(0, helpFile());
    ASSERT_NE(first, 0u);
    viewers().front()->hide();
    EXPECT_EQ(OpenHelpContents(0, helpFile()), first);
    ASSERT_EQ(viewers().size(), 1);
    EXPECT_TRUE(viewers().front()->isVisible());

    // Once closed, the next call opens a new one.
    viewers().front()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(viewers().isEmpty());
    EXPECT_NE(OpenHelpContents(0, helpFile()), 0u);
    EXPECT_EQ(viewers().size(), 1);
}

TEST(HelpViewerFailureTest, AFileItCannotUseOpensNothing) {
    QFile real(helpFile());
    ASSERT_TRUE(real.open(QIODevice::ReadOnly));
    const QByteArray good = real.readAll();
    ASSERT_GT(good.size(), 4096);
    QRandomGenerator random(20240607);
    QByteArray noise(40000, '\0');
    random.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    QByteArray badHeader = good;
    badHeader.replace(72, 8, QByteArray("\xff\xff\xff\xff\xff\xff\xff\x7f", 8)); // directory

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case {
        const char* name;
        std::optional<QByteArray> bytes; // nothing: no file at all
    };
    std::vector<Case> cases{{"missing", std::nullopt},
                            {"empty", QByteArray()},
                            {"random bytes", noise},
                            {"signature only", QByteArray("ITSF")},
                            {"directory past the end", badHeader}};
    for (const qsizetype cut : {qsizetype(0x58), qsizetype(0x60), qsizetype(0x100), good.size() / 4,
                                good.size() / 2, good.size() * 9 / 10, good.size() - 1}) {
        cases.push_back({"truncated", good.left(cut)});
    }
    const qsizetype widgets = QApplication::topLevelWidgets().size();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.bytes ? c.bytes->size() : -1));
        const QString path = dir.filePath(QStringLiteral("Vemba_PC.chm"));
        QFile::remove(path);
        if (c.bytes) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(*c.bytes);
        }
        EXPECT_EQ(OpenHelpContents(0, path), 0u);
        EXPECT_EQ(QApplication::topLevelWidgets().size(), widgets);
    }
    EXPECT_EQ(OpenHelpContents(0, dir.path()), 0u); // a directory
    EXPECT_EQ(QApplication::topLevelWidgets().size(), widgets);

    // Damage inside a file of the right size may go unseen until a page is
    // read; the viewer may open, but neither it nor chmlib may read astray.
    for (qsizetype at = 0; at < good.size(); at += good.size() / 24) {
        SCOPED_TRACE("damaged at " + std::to_string(at));
        QByteArray damaged = good;
        damaged.replace(at, 48, noise.mid(at % 1000, 48));
        const QString path = dir.filePath(QStringLiteral("damaged%1.chm").arg(at));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damaged);
        file.close();
        if (OpenHelpContents(0, path) != 0) {
            for (HelpViewer* viewer : viewers()) {
                for (const char* page : {"index.html", "bands.html", "caution.html"}) {
                    viewer->showTopic(QString::fromLatin1(page));
                }
                viewer->close();
            }
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
}

} // namespace
} // namespace vemba
