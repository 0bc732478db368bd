// The help viewer on the help file the build compiles: where it opens, that
// every entry and link of the file leads somewhere, the keywords' order, the
// window on a small screen, history and outside links, one viewer per file,
// nothing read from outside the file, and no window at all for a file it
// cannot use.

#include "HelpViewer.h"

#include "Files.h"
#include "HelpFile.h"
#include "HelpViewers.h"
#include "HtmlHelp.h"
#include "QtPrinters.h"
#include "UrlCatcher.h"

#include <QApplication>
#include <QCollator>
#include <QDesktopServices>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextFrame>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vemba {
namespace {

QString helpFile() {
    return helpFilePath(qEnvironmentVariable("VEMBA_PROGRAM_DIR"));
}

// The values of one attribute throughout a page, as the viewer holds it.
QStringList valuesOf(const QTextBrowser& page, const QString& attribute) {
    QStringList values;
    const QRegularExpression pattern(QStringLiteral(" %1=\"([^\"]*)\"").arg(attribute));
    for (const QRegularExpressionMatch& match : pattern.globalMatch(page.toHtml())) {
        values << match.captured(1);
    }
    values.removeDuplicates();
    return values;
}

class HelpViewerTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (HelpViewer* viewer : testing::shownHelpViewers()) {
            viewer->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Opens a help file and finds the viewer that the handle names.
    HelpViewer* open(const QString& file = helpFile()) {
        const WId handle = OpenHelpContents(0, file);
        for (HelpViewer* viewer : testing::shownHelpViewers()) {
            if (viewer->winId() == handle) {
                page = viewer->findChild<QTextBrowser*>(QStringLiteral("page"));
                return viewer;
            }
        }
        return nullptr;
    }

    // The page shown is the file's page at path, titled, and holds the
    // anchor when one is named.
    void expectShown(const QString& path, const QString& anchor, const QString& why) {
        SCOPED_TRACE(why.toStdString());
        EXPECT_EQ(page->source().path(), path);
        EXPECT_EQ(page->source().fragment(), anchor);
        EXPECT_FALSE(page->documentTitle().isEmpty());
        EXPECT_TRUE(anchor.isEmpty() || valuesOf(*page, QStringLiteral("name")).contains(anchor));
    }

    QTextBrowser* page = nullptr;
};

// It opens at the default topic, and every entry, link and picture leads
// to something in the file.
TEST_F(HelpViewerTest, EveryEntryLinkAndPictureOpensSomethingInTheFile) {
    HelpViewer* viewer = open();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(page->documentTitle(), QStringLiteral("ヴェンバPCについて"));
    auto* contents = viewer->findChild<QTreeWidget*>(QStringLiteral("contents"));
    auto* index = viewer->findChild<QListWidget*>(QStringLiteral("index"));
    // The filter keeps the keywords that hold its text, whatever the case.
    viewer->findChild<QLineEdit*>(QStringLiteral("filter"))->setText(QStringLiteral("SETTING"));
    QStringList shown;
    for (int row = 0; row < index->count(); ++row) {
        if (!index->item(row)->isHidden()) {
            shown << index->item(row)->text();
        }
    }
    EXPECT_EQ(shown, QStringList{QStringLiteral("setting.ini")});
    int entries = 0;
    const auto check = [&](const QVariant& local, const QString& name, const auto& activate) {
        ASSERT_TRUE(local.isValid()) << name.toStdString();
        page->setSource(QUrl(QStringLiteral("chm:/none.html"))); // away, so that a no-op fails
        activate();
        expectShown(ChmPath(local.toString()), local.toString().section(QLatin1Char('#'), 1), name);
        ++entries;
    };
    for (QTreeWidgetItemIterator it(contents); *it != nullptr; ++it) {
        check((*it)->data(0, Qt::UserRole), (*it)->text(0),
              [&] { emit contents->itemActivated(*it, 0); });
    }
    for (int row = 0; row < index->count(); ++row) {
        QListWidgetItem* item = index->item(row);
        check(item->data(Qt::UserRole), item->text(), [&] { emit index->itemActivated(item); });
    }
    EXPECT_GE(entries, 30);

    const std::unique_ptr<ChmArchive> archive = ChmArchive::open(helpFile());
    ASSERT_NE(archive, nullptr);
    int links = 0;
    int images = 0;
    for (const QString& file : archive->files().filter(QRegularExpression("\\.html$"))) {
        viewer->showTopic(file);
        expectShown(file, {}, file);
        for (const QString& image : valuesOf(*page, QStringLiteral("src"))) {
            const QVariant bytes = page->loadResource(QTextDocument::ImageResource, QUrl(image));
            EXPECT_FALSE(QImage::fromData(bytes.toByteArray()).isNull()) << image.toStdString();
            ++images;
        }
        for (const QString& link : valuesOf(*page, QStringLiteral("href"))) {
            viewer->followLink(QUrl(link));
            const QUrl target = QUrl(QStringLiteral("chm:") + file).resolved(QUrl(link));
            expectShown(target.path(), target.fragment(), file + QStringLiteral(" → ") + link);
            viewer->showTopic(file);
            ++links;
        }
    }
    EXPECT_GE(links, 20);
    EXPECT_GE(images, 1);
}

// The keyword index as the file holds it: in the order of the readings, kana
// of either kind alike, where a keyword with kanji has its reading in kana.
TEST_F(HelpViewerTest, KeywordsAreInReadingOrder) {
    const std::unique_ptr<ChmArchive> archive = ChmArchive::open(helpFile());
    ASSERT_NE(archive, nullptr);
    const QString index = DecodeHtml(archive->read(archive->indexFile()).value_or(""));
    const QRegularExpression entry(R"(<OBJECT[^>]*>(.*?)</OBJECT>)",
                                   QRegularExpression::CaseInsensitiveOption);
    const auto param = [](const QString& object, const QString& name) {
        const QRegularExpression p(QStringLiteral(R"re(name="%1" value="([^"]*)")re").arg(name));
        return p.match(object).captured(1);
    };
    const QRegularExpression kanji(QStringLiteral("\\p{Han}"));
    const QCollator japanese(QLocale(QLocale::Japanese, QLocale::Japan));
    QStringList names;
    QString previous;
    for (const QRegularExpressionMatch& match : entry.globalMatch(index)) {
        const QString name = param(match.captured(1), "Name");
        const QString reading = param(match.captured(1), "Reading");
        EXPECT_FALSE(reading.contains(kanji)) << reading.toStdString();
        EXPECT_TRUE(!name.contains(kanji) || !reading.isEmpty()) << name.toStdString();
        const QString key = reading.isEmpty() ? name : reading;
        EXPECT_LE(japanese.compare(previous, key), 0)
            << previous.toStdString() << " before " << key.toStdString();
        previous = key;
        names << name;
    }
    EXPECT_GE(names.size(), 30);
    for (const char* wanted : {"チャンネル", "スライダー", "バージョン情報"}) {
        EXPECT_TRUE(names.contains(QString::fromUtf8(wanted))) << wanted;
    }
}

// On a screen of 800 × 600, the window and its smallest size leave room
// for a title bar, the frame and a panel; its title names the program once,
// and its icon is the program's, drawn for screens at twice the density too.
TEST_F(HelpViewerTest, FitsASmallScreenWithTheProgramsNameAndIcon) {
    QApplication::setApplicationDisplayName(QStringLiteral("ヴェンバPC"));
    HelpViewer* viewer = open();
    QApplication::setApplicationDisplayName({});
    ASSERT_NE(viewer, nullptr);
    ASSERT_EQ(viewer->screen()->size(), QSize(800, 600)) << "the test's screen";
    const QSize decoration(2 * 4, 32 + 4 + 32); // borders, title bar, panel
    for (const QSize size : {viewer->frameGeometry().size(), viewer->minimumSize()}) {
        EXPECT_TRUE(QRect(0, 0, 800, 600).contains(QRect(QPoint(), size + decoration)))
            << size.width() << "×" << size.height();
    }
    // Qt adds the display name to a title that does not end in it.
    const QString title = viewer->windowTitle();
    EXPECT_EQ(title.count("ヴェンバPC") + (title.endsWith("ヴェンバPC") ? 0 : 1), 1)
        << title.toStdString();
    const QPixmap twice = viewer->windowIcon().pixmap(QSize(28, 28), 2.0);
    EXPECT_EQ(twice.devicePixelRatio(), 2.0);
    EXPECT_EQ(twice.size(), QSize(56, 56));
}

TEST_F(HelpViewerTest, HistoryGoesBackAndForwardAndOutsideLinksGoToTheDesktop) {
    HelpViewer* viewer = open();
    ASSERT_NE(viewer, nullptr);
    auto* back = viewer->findChild<QToolButton*>(QStringLiteral("back"));
    auto* forward = viewer->findChild<QToolButton*>(QStringLiteral("forward"));
    const QString start = page->source().path();

    // A link goes from the page's own folder.
    viewer->showTopic(QStringLiteral("images/none.html"));
    viewer->followLink(QUrl(QStringLiteral("other.html")));
    viewer->followLink(QUrl(QStringLiteral("../caution.html")));
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "openUrl");
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "openUrl");
    viewer->followLink(QUrl(QStringLiteral("https://example.org/")));
    viewer->followLink(QUrl(QStringLiteral("file:///etc/passwd")));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    EXPECT_EQ(catcher.urls, QList<QUrl>{QUrl(QStringLiteral("https://example.org/"))});

    const QString steps[] = {"/images/other.html", "/images/none.html",  start,
                             "/images/none.html",  "/images/other.html", "/caution.html"};
    for (int i = 0; i < 6; ++i) {
        (i < 3 ? back : forward)->click();
        EXPECT_EQ(page->source().path(), steps[i]) << i;
    }
}

TEST_F(HelpViewerTest, OneViewerPerFileRaisedAgainUntilClosed) {
    const WId first = OpenHelpContents(0, helpFile());
    testing::shownHelpViewers().front()->showMinimized();
    EXPECT_EQ(OpenHelpContents(0, helpFile()), first);
    ASSERT_EQ(testing::shownHelpViewers().size(), 1);
    EXPECT_FALSE(testing::shownHelpViewers().front()->isMinimized());
    testing::shownHelpViewers().front()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_NE(OpenHelpContents(0, helpFile()), 0u);
    EXPECT_EQ(testing::shownHelpViewers().size(), 1);
}

// A picture, style sheet or page named outside the file is looked for in
// the file alone: an outside picture shows as one missing from the file.
TEST_F(HelpViewerTest, NothingOutsideTheFileIsRead) {
    ASSERT_NE(open(), nullptr);
    QTemporaryDir dir;
    QImage(7, 5, QImage::Format_RGB32).save(dir.filePath("outside.png"));
    const QString outside = QUrl::fromLocalFile(dir.filePath("outside.png")).toString();
    page->setHtml(QStringLiteral("<img src=\"%1\"><img src=\"chm:/none.png\">").arg(outside));
    page->document()->size(); // lays the page out, pictures and all
    const auto picture = [&](const QString& name) {
        const QVariant shown = page->document()->resource(QTextDocument::ImageResource, QUrl(name));
        return shown.typeId() == QMetaType::QByteArray ? QImage::fromData(shown.toByteArray())
                                                       : shown.value<QImage>();
    };
    EXPECT_FALSE(picture("chm:/none.png").isNull());
    EXPECT_TRUE(picture(outside) == picture("chm:/none.png"));
}

// A default topic the file lacks: the viewer starts at the contents' first page.
TEST_F(HelpViewerTest, AMissingDefaultTopicGivesWayToTheContents) {
    const QByteArray topic("\x02\0\x0b\0index.html", 14); // in the uncompressed #SYSTEM
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Vemba_PC.chm"));
    ASSERT_TRUE(writeFile(
        path, readFile(helpFile()).replace(topic, QByteArray(topic).replace("index", "gone0"))));
    ASSERT_NE(open(path), nullptr);
    EXPECT_EQ(page->source().path(), "/index.html");
}

// A page Qt could not lay out in a lifetime shows a line of text instead
// (a regression hangs until the test's timeout).
TEST_F(HelpViewerTest, APageTooDeepToLayOutIsRefused) {
    const WId handle = OpenHelpContents(0, qEnvironmentVariable("VEMBA_HOSTILE_HELP"));
    ASSERT_NE(handle, 0u);
    auto* shown =
        testing::shownHelpViewers().front()->findChild<QTextBrowser*>(QStringLiteral("page"));
    shown->document()->size();
    EXPECT_EQ(shown->source().path(), "/deep.html");
    EXPECT_TRUE(shown->document()->rootFrame()->childFrames().isEmpty()) << "no table laid out";
}

// Damaged help files are the help_file fuzz target's seeds; here, what the
// user sees of a file the viewer cannot use: no window. A FIFO would hold the
// window thread in open() until someone writes (a regression hangs until the
// test's timeout).
TEST(HelpViewerFailureTest, AFileItCannotUseOpensNoWindow) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("Vemba_PC.chm"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const qsizetype widgets = QApplication::topLevelWidgets().size();
    EXPECT_EQ(OpenHelpContents(0, fifo), 0u);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), widgets);
}

} // namespace
} // namespace vemba
