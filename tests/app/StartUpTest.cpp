// Start-up and shutdown of the window: what each stored entry does to its
// control, what the events it raises write back, where the window goes and
// what closing writes.

#include "MainWindowController.h"
#include "QtPrinters.h"
#include "WindowPlacement.h"
#include "WindowTest.h"
#include "iniEdit.h"

#include <QFile>
#include <QScreen>
#include <gtest/gtest.h>
#include <map>

namespace vemba {
namespace {

using Entries = std::map<QString, QString>; // "Section/Key" -> value

class StartUpTest : public testing::WindowTest {
protected:
    void store(const Entries& entries) {
        for (const auto& [name, value] : entries) {
            const QStringList parts = name.split('/');
            ASSERT_TRUE(iniEdit::WriteSetting(dir.path(), parts[0], parts[1], value).ok());
        }
    }

    QString stored(const QString& name) const {
        const QStringList parts = name.split('/');
        return iniEdit::ReadSetting(dir.path(), parts[0], parts[1]);
    }

    // The window's choices as "checks members slider": Check1..3, the
    // selected member of Option1..4 and the slider's position.
    QString choices() const {
        QString c;
        for (int n = 1; n <= 3; ++n) {
            c += QString::number(form->checkValue(n));
        }
        c += ' ';
        for (int array = 1; array <= 4; ++array) {
            c += QString::number(form->optionGroup(array)->checkedId());
        }
        return c + QStringLiteral(" %1").arg(form->Slider1()->value());
    }
};

constexpr const char* kDesign = "010 1110 5";

struct LoadCase {
    const char* name;
    Entries file;
    const char* after;
    QStringList events;
    Entries written; // entries as the file holds them after start-up
};

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.name;
}

// clang-format off
const LoadCase kLoadCases[] = {
    {"no file", {}, kDesign, {}, {}},
    {"only exactly 1 ticks, and is written back as 1",
     {{"Sound1/Active", " 1.0 "}, {"Sound2/Active", "-1"}, {"Sound3/Active", "1.4"}},
     "100 1110 5", {"Check1_Click 1", "Check2_Click 0"},
     {{"Sound1/Active", "1"}, {"Sound2/Active", "0"}, {"Sound3/Active", "1.4"}}},
    {"a half to the even member, a volume past the end",
     {{"Sound2/Freq", "2.5"}, {"WaveForm/Form", "1"}, {"Volume/V", "15"}},
     "010 1211 10", {"Option2_Click 2", "Option4_Click 1", "Slider1_Change 10"},
     {{"Sound2/Freq", "2"}, {"WaveForm/Form", "1"}, {"Volume/V", "10"}}},
    {"unusable entries keep the design state",
     {{"Sound1/Active", "yes"}, {"Sound2/Active", ""}, {"Sound1/Freq", "5"}, {"Sound2/Freq", "-1"},
      {"WaveForm/Form", "2"}, {"Volume/V", "1e12"}},
     kDesign, {}, {{"Sound1/Active", "yes"}, {"Sound1/Freq", "5"}, {"WaveForm/Form", "2"}}},
};
// clang-format on

class LoadTest : public StartUpTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadTest, AppliesEachUsableEntryAndWritesItBack) {
    const LoadCase& c = GetParam();
    store(c.file);
    window->controller().Form_Load();
    EXPECT_EQ(choices(), c.after);
    EXPECT_EQ(events, c.events);
    for (const auto& [name, value] : c.written) {
        EXPECT_EQ(stored(name), value) << name.toStdString();
    }
    EXPECT_EQ(QFile::exists(iniEdit::settingsPath(dir.path())), !c.file.empty());
    EXPECT_EQ(audio.log, QStringList{}) << "start-up opens no device and plays nothing";
    EXPECT_EQ(messages, QStringList{});
}

INSTANTIATE_TEST_SUITE_P(StoredEntries, LoadTest, ::testing::ValuesIn(kLoadCases));

TEST_F(StartUpTest, WindowGoesToItsStoredPlaceOrStaysReachable) {
    const QPoint first = form->pos();
    store({{"Position/Top", "junk"}, {"Position/Left", ""}});
    window->controller().Form_Load();
    EXPECT_EQ(form->pos(), first) << "unusable positions are ignored";

    store({{"Position/Top", "1508"}, {"Position/Left", "3022"}});
    window->controller().Form_Load();
    EXPECT_EQ(form->pos(), QPoint(201, 101)) << "to the nearest pixel";

    // A screen that is gone, far beyond every screen.
    store({{"Position/Top", "3e38"}, {"Position/Left", "-3e38"}});
    window->controller().Form_Load();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(QRect(form->pos(), form->frameGeometry().size())));
    EXPECT_EQ(stored("Position/Top"), QStringLiteral("3e38")) << "kept until the next close";
}

// A window whose title bar can be grabbed stays; one pulled back onto the
// screen has its whole frame, borders too, on it, flush with the edge it was
// past.
TEST(WindowPlacement, PulledBackTheWholeFrameIsOnTheScreen) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize window(389, 290);
    const QMargins frame(2, 30, 3, 4);
    const QSize outer = QRect(QPoint(), window).marginsAdded(frame).size();
    const QPoint flush(area.right() + 1 - outer.width(), area.bottom() + 1 - outer.height());
    // A title bar 48 pixels wide and 12 high on the screen can still be
    // grabbed; one pixel less, and the window is pulled back.
    const int x = area.left() + 50, y = area.top() + 50;
    const std::pair<QPoint, QPoint> kCases[] = {
        {{area.right() + 1 - 48, y}, {area.right() + 1 - 48, y}},
        {{area.right() + 1 - 47, y}, {flush.x(), y}},
        {{x, area.bottom() + 1 - 12}, {x, area.bottom() + 1 - 12}},
        {{x, area.bottom() + 1 - 11}, {x, flush.y()}},
    };
    for (const auto& [wanted, placed] : kCases) {
        const QPoint got = placement::reachablePosition(wanted, window, frame);
        EXPECT_EQ(got, placed) << wanted.x() << "," << wanted.y() << " -> " << got.x() << ","
                               << got.y();
    }
}

// A session that ends quits the program with the window still open: it closes
// the normal way, every channel stopped before the place is stored.
TEST_F(StartUpTest, EndOfSessionClosesTheWindowStoppingEveryChannelFirst) {
    for (int n = 1; n <= 3; ++n) {
        form->Check(n)->setChecked(true);
    }
    form->optMediaMode(0)->setChecked(true);
    audio.log.clear();
    QStringList positionAtStop;
    audio.script.onStop = [&] { positionAtStop << stored("Position/Top"); };
    form->show();
    form->move(1234, 321);
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    runProgram();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(audio.log.filter("stop "),
              (QStringList{"stop /30.wav", "stop /7500.wav", "stop /450.wav"}));
    EXPECT_EQ(positionAtStop, QStringList(3, QString()));
    EXPECT_EQ(stored("Position/Top"), QStringLiteral("4815"));
    EXPECT_EQ(stored("Position/Left"), QStringLiteral("18510"));
}

} // namespace
} // namespace vemba
