// Start-up and shutdown of the window: what each stored entry does to its
// control, what the events it raises write back, where the window goes, what
// closing writes, and the whole round trip through the settings file.

#include "MainWindowController.h"
#include "QtPrinters.h"
#include "WindowTest.h"
#include "iniEdit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <gtest/gtest.h>
#include <map>

namespace vemba {
namespace {

// The real handlers, each call logged first.
class LoggingController : public MainWindowController {
public:
    LoggingController(const Services& services, QStringList& log)
        : MainWindowController(services), m_log(log) {}

    void Check1_Click() override {
        logged("Check1_Click", [this] { MainWindowController::Check1_Click(); });
    }
    void Check2_Click() override {
        logged("Check2_Click", [this] { MainWindowController::Check2_Click(); });
    }
    void Check3_Click() override {
        logged("Check3_Click", [this] { MainWindowController::Check3_Click(); });
    }
    void Option1_Click(std::int16_t i) override {
        logged(
            "Option1_Click", [=, this] { MainWindowController::Option1_Click(i); }, i);
    }
    void Option2_Click(std::int16_t i) override {
        logged(
            "Option2_Click", [=, this] { MainWindowController::Option2_Click(i); }, i);
    }
    void Option3_Click(std::int16_t i) override {
        logged(
            "Option3_Click", [=, this] { MainWindowController::Option3_Click(i); }, i);
    }
    void Option4_Click(std::int16_t i) override {
        logged(
            "Option4_Click", [=, this] { MainWindowController::Option4_Click(i); }, i);
    }
    void Slider1_Change() override {
        logged("Slider1_Change", [this] { MainWindowController::Slider1_Change(); });
    }

private:
    template <typename F> void logged(const char* name, F handler, int index = -1) {
        m_log << (index < 0 ? QString::fromUtf8(name)
                            : QStringLiteral("%1 %2").arg(name).arg(index));
        handler();
    }
    QStringList& m_log;
};

using Entries = std::map<QString, QString>; // "Section/Key" -> value

// The window's choices: Check1..3, the selected member of Option1..4, the slider.
struct Choices {
    std::array<int, 3> checks;
    std::array<int, 4> members;
    int slider;
    bool operator==(const Choices&) const = default;
};

void PrintTo(const Choices& c, std::ostream* os) {
    *os << "checks " << c.checks[0] << c.checks[1] << c.checks[2] << ", members " << c.members[0]
        << c.members[1] << c.members[2] << c.members[3] << ", slider " << c.slider;
}

constexpr Choices kDesign{{0, 1, 0}, {1, 1, 1, 0}, 5};

class StartUpTest : public testing::WindowTest {
protected:
    void SetUp() override { start(); }

    void start() {
        makeForm([this](const MainWindowController::Services& s) {
            return std::make_unique<LoggingController>(s, events);
        });
    }

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

    QByteArray file() const {
        QFile f(iniEdit::settingsPath(dir.path()));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    Choices choices() const {
        Choices c{};
        for (int n = 1; n <= 3; ++n) {
            c.checks.at(n - 1) = form->checkValue(n);
        }
        for (int array = 1; array <= 4; ++array) {
            int selected = -1;
            for (int m = 0; m < 5; ++m) {
                QAbstractButton* b = form->Option(array, m);
                selected = b != nullptr && b->isChecked() ? m : selected;
            }
            c.members.at(array - 1) = selected;
        }
        c.slider = form->Slider1()->value();
        return c;
    }

    QStringList events;
};

struct LoadCase {
    const char* name;
    Entries file;
    Choices after;
    QStringList events;
    Entries written; // entries as the file holds them after start-up
};

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.name;
}

Choices with(Choices c, const std::function<void(Choices&)>& change) {
    change(c);
    return c;
}

const std::vector<LoadCase> kLoadCases = {
    {"no file", {}, kDesign, {}, {}},
    {"ticks Check1 and selects member 2",
     {{"Sound1/Active", "1"}, {"Sound1/Freq", "2"}},
     with(kDesign, [](Choices& c) { c.checks[0] = 1, c.members[0] = 2; }),
     {"Check1_Click", "Option1_Click 2"},
     {{"Sound1/Active", "1"}, {"Sound1/Freq", "2"}}},
    {"a box already ticked raises nothing", {{"Sound2/Active", "1"}}, kDesign, {}, {}},
    {"only exactly 1 ticks",
     {{"Sound1/Active", "2"}, {"Sound2/Active", "-1"}, {"Sound3/Active", "0.5"}},
     with(kDesign, [](Choices& c) { c.checks[1] = 0; }),
     {"Check2_Click"},
     {{"Sound1/Active", "2"}, {"Sound2/Active", "0"}, {"Sound3/Active", "0.5"}}},
    {"1.0 ticks and is written back as 1",
     {{"Sound3/Active", " 1.0 "}, {"Sound2/Active", "0"}},
     with(kDesign,
          [](Choices& c) {
              c.checks = {0, 0, 1};
          }),
     {"Check2_Click", "Check3_Click"},
     {{"Sound3/Active", "1"}, {"Sound2/Active", "0"}}},
    {"halves round to the even member",
     {{"Sound1/Freq", "2.5"}, {"Sound2/Freq", "3.5"}, {"Sound3/Freq", "0.5"}},
     with(kDesign,
          [](Choices& c) {
              c.members = {2, 4, 0, 0};
          }),
     {"Option1_Click 2", "Option2_Click 4", "Option3_Click 0"},
     {{"Sound1/Freq", "2"}, {"Sound2/Freq", "4"}, {"Sound3/Freq", "0"}}},
    {"wave shape and volume",
     {{"WaveForm/Form", "1"}, {"Volume/V", "7"}},
     with(kDesign, [](Choices& c) { c.members[3] = 1, c.slider = 7; }),
     {"Option4_Click 1", "Slider1_Change"},
     {{"WaveForm/Form", "1"}, {"Volume/V", "7"}}},
    {"a volume past either end moves the slider to that end",
     {{"Volume/V", "15"}},
     with(kDesign, [](Choices& c) { c.slider = 10; }),
     {"Slider1_Change"},
     {{"Volume/V", "10"}}},
    {"below zero",
     {{"Volume/V", "-4"}},
     with(kDesign, [](Choices& c) { c.slider = 0; }),
     {"Slider1_Change"},
     {{"Volume/V", "0"}}},
    {"the slider's own position raises nothing", {{"Volume/V", "5"}}, kDesign, {}, {}},
    {"unusable entries keep the design state",
     {{"Sound1/Active", "yes"},
      {"Sound2/Active", ""},
      {"Sound1/Freq", "5"},
      {"Sound2/Freq", "-1"},
      {"Sound3/Freq", "70000"},
      {"WaveForm/Form", "2"},
      {"Volume/V", "1e12"},
      {"Position/Top", "left"}},
     kDesign,
     {},
     {{"Sound1/Active", "yes"},
      {"Sound1/Freq", "5"},
      {"Volume/V", "1e12"},
      {"WaveForm/Form", "2"}}},
};

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
    if (c.file.empty()) {
        EXPECT_FALSE(QFile::exists(iniEdit::settingsPath(dir.path())));
    }
    EXPECT_EQ(audio.log, QStringList{}) << "start-up opens no device and plays nothing";
    EXPECT_TRUE(form->optMediaMode(1)->isChecked());
    EXPECT_EQ(form->Label1()->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(messages, QStringList{});
}

INSTANTIATE_TEST_SUITE_P(StoredEntries, LoadTest, ::testing::ValuesIn(kLoadCases));

TEST_F(StartUpTest, WindowGoesToItsStoredPlaceOrStaysReachable) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint first = form->pos();
    store({{"Position/Top", "junk"}, {"Position/Left", ""}});
    window->controller().Form_Load();
    EXPECT_EQ(form->pos(), first) << "unusable positions are ignored";

    store({{"Position/Top", "1500"}, {"Position/Left", "3015"}});
    window->controller().Form_Load();
    EXPECT_EQ(form->pos(), QPoint(201, 100));

    // A screen that is gone: far right and above every screen.
    for (const Entries& gone : {Entries{{"Position/Top", "-30000"}, {"Position/Left", "3000"}},
                                Entries{{"Position/Top", "300"}, {"Position/Left", "9.9e+07"}},
                                Entries{{"Position/Top", "3e38"}, {"Position/Left", "-3e38"}}}) {
        store(gone);
        window->controller().Form_Load();
        const QRect frame(form->pos(), form->frameGeometry().size());
        EXPECT_TRUE(screen.contains(frame)) << gone.begin()->second.toStdString();
        EXPECT_EQ(stored("Position/Top"), gone.at("Position/Top")) << "kept until the next close";
    }
}

TEST_F(StartUpTest, ClosingStopsEveryChannelBeforeItStoresThePosition) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    for (int n = 1; n <= 3; ++n) {
        form->Check(n)->setChecked(true);
    }
    form->optMediaMode(0)->setChecked(true);
    audio.log.clear();
    QStringList positionAtStop;
    audio.script.onStop = [&] { positionAtStop << stored("Position/Top"); };
    form->show();
    form->move(1234, 321);

    EXPECT_TRUE(form->close());
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(audio.log, (QStringList{"stop /30.wav", "setCurrentPosition /30.wav 0",
                                      "stop /7500.wav", "setCurrentPosition /7500.wav 0",
                                      "stop /450.wav", "setCurrentPosition /450.wav 0"}));
    EXPECT_EQ(positionAtStop, QStringList(3, QString()));
    EXPECT_EQ(stored("Position/Top"), QStringLiteral("4815"));
    EXPECT_EQ(stored("Position/Left"), QStringLiteral("18510")) << "no group separator";
}

TEST_F(StartUpTest, ClosingWithoutEverSwitchingOnStillStoresThePosition) {
    form->move(40, 60);
    form->show();
    EXPECT_TRUE(form->close());
    EXPECT_EQ(audio.log, QStringList{});
    EXPECT_EQ(stored("Position/Top"), QStringLiteral("900"));
    EXPECT_EQ(stored("Position/Left"), QStringLiteral("600"));
}

TEST_F(StartUpTest, EveryChoiceAndThePositionComeBackAndAThirdStartChangesNothing) {
    const Choices chosen{{1, 0, 1}, {4, 0, 3, 1}, 2};
    window->controller().Form_Load();
    form->show();
    for (int n = 1; n <= 3; ++n) {
        form->Check(n)->setChecked(chosen.checks.at(n - 1) == 1);
    }
    for (int array = 1; array <= 4; ++array) {
        form->Option(array, chosen.members.at(array - 1))->setChecked(true);
    }
    form->Slider1()->setValue(chosen.slider);
    form->optMediaMode(0)->setChecked(true);
    form->move(123, 77);
    form->close();

    start();
    window->controller().Form_Load();
    EXPECT_EQ(choices(), chosen);
    EXPECT_EQ(form->pos(), QPoint(123, 77));
    EXPECT_TRUE(form->optMediaMode(1)->isChecked()) << "every start is OFF";
    form->show();
    form->close();

    const QByteArray second = file();
    start();
    window->controller().Form_Load();
    form->show();
    form->close();
    EXPECT_EQ(file(), second);
}

// The program ends when its last window closes: another top-level window
// (the About box) keeps it running after the main window has closed.
TEST_F(StartUpTest, ProgramEndsWithItsLastWindow) {
    QWidget other;
    other.show();
    form->show();
    bool runningAfterMainClosed = false;
    QTimer::singleShot(0, form, [&] {
        form->close();
        QTimer::singleShot(50, &other, [&] {
            runningAfterMainClosed = true;
            other.close();
        });
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    watchdog.start(5000);
    EXPECT_EQ(QApplication::exec(), 0) << "the program did not end with its last window";
    EXPECT_TRUE(runningAfterMainClosed);
}

TEST_F(StartUpTest, EndOfSessionClosesTheWindowTheNormalWay) {
    form->show();
    form->move(30, 45);
    QTimer::singleShot(0, [] { QCoreApplication::quit(); });
    QApplication::exec();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(stored("Position/Top"), QStringLiteral("675"));
}

} // namespace
} // namespace vemba
