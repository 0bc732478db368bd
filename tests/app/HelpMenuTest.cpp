// The contents item of the help menu: the program directory's help file in
// the viewer, one viewer however often it is chosen, on its table of contents
// whichever tab was chosen last, and nothing at all when there is no help file.

#include "HelpViewers.h"
#include "QtPrinters.h"
#include "WindowTest.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace vemba {
namespace {

class HelpMenuTest : public testing::WindowTest {
protected:
    void TearDown() override { qDeleteAll(testing::shownHelpViewers()); }
};

TEST_F(HelpMenuTest, OpensTheProgramDirectorysHelpFileOnceAndNothingWithoutOne) {
    const int windows = QApplication::topLevelWidgets().size();
    form->MHelp1()->trigger();
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windows);

    const QString built = qEnvironmentVariable("VEMBA_PROGRAM_DIR") + "/Vemba_PC.chm";
    ASSERT_TRUE(QFile::copy(built, dir.filePath("Vemba_PC.chm"))) << built.toStdString();
    form->MHelp1()->trigger();
    auto* tabs = testing::shownHelpViewers().value(0)->findChild<QTabWidget*>("tabs");
    ASSERT_NE(tabs, nullptr);
    tabs->setCurrentIndex(1); // the keywords
    ASSERT_NE(tabs->currentWidget()->objectName(), "contents");
    form->MHelp1()->trigger();
    EXPECT_EQ(tabs->currentWidget()->objectName(), "contents");
    const QList<HelpViewer*> open = testing::shownHelpViewers();
    ASSERT_EQ(open.size(), 1);
    EXPECT_EQ(QFileInfo(open[0]->filePath()), QFileInfo(dir.path() + "/Vemba_PC.chm"));
    EXPECT_EQ(messages, QStringList{});
}

} // namespace
} // namespace vemba
