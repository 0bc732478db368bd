// The window's event logic against a recording audio layer: the exact sound
// calls of every event in every state, and the one settings write.

#include "MainWindowController.h"
#include "QtPrinters.h"
#include "WindowTest.h"
#include "iniEdit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QSlider>
#include <gtest/gtest.h>
#include <set>

namespace vemba {
namespace {

const QColor kRed(255, 0, 0);
const QColor kWhite(255, 255, 255);

class ControllerTest : public testing::WindowTest {
protected:
    void SetUp() override { makeForm(); }

    // Ticks the given channels and those to be cleared while OFF, switches ON
    // if asked, clears the channels to be cleared (while ON they keep their
    // buffer), then forgets the sound calls and the settings written so far.
    void arrange(bool on, const std::set<int>& ticked, const std::set<int>& cleared = {}) {
        for (int channel = 1; channel <= 3; ++channel) {
            form->Check(channel)->setChecked(ticked.count(channel) + cleared.count(channel) != 0);
        }
        if (on) {
            form->optMediaMode(0)->setChecked(true);
        }
        for (int channel : cleared) {
            form->Check(channel)->setChecked(false);
        }
        audio.log.clear();
        QFile::remove(iniEdit::settingsPath(dir.path()));
    }

    // The settings file's entries as "section/key=value" lines.
    QStringList written() const {
        QFile file(iniEdit::settingsPath(dir.path()));
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        QStringList entries;
        QString section;
        for (const QByteArray& raw : file.readAll().split('\n')) {
            const QString line = QString::fromUtf8(raw).trimmed();
            if (line.startsWith('[')) {
                section = line.mid(1, line.size() - 2);
            } else if (line.contains('=')) {
                entries << section + '/' + line;
            }
        }
        return entries;
    }

    QColor lamp() const { return form->Label1()->palette().color(QPalette::Window); }
};

QStringList restart(const QString& from, const QString& to, int volume = -602) {
    return {QStringLiteral("stop %1").arg(from),
            QStringLiteral("setCurrentPosition %1 0").arg(from),
            QStringLiteral("createSoundBufferFromFile %1 16610").arg(to),
            QStringLiteral("release %1").arg(from),
            QStringLiteral("play %1 1").arg(to),
            QStringLiteral("setVolume %1 %2").arg(to).arg(volume)};
}

QStringList start(const QString& file, int volume = -602) {
    return {QStringLiteral("createSoundBufferFromFile %1 16610").arg(file),
            QStringLiteral("play %1 1").arg(file),
            QStringLiteral("setVolume %1 %2").arg(file).arg(volume)};
}

QStringList stop(const QString& file) {
    return {QStringLiteral("stop %1").arg(file),
            QStringLiteral("setCurrentPosition %1 0").arg(file)};
}

const QStringList kOpenDevice{"createRoot", "directSoundCreate ''", "setCooperativeLevel 1"};

struct EventCase {
    const char* name;
    bool on;
    std::set<int> ticked;
    std::function<void(Form1&)> event;
    QStringList calls;
    QStringList writes;
    // Channels that played and were cleared again before the event: they keep a buffer.
    std::set<int> cleared = {};
};

void PrintTo(const EventCase& c, std::ostream* os) {
    *os << c.name;
}

// The design selects "30Hz", "7.5KHz", "450Hz" and sine; the slider stands at 5.
const std::vector<EventCase> kEventCases = {
    {"tick box while ON",
     true,
     {},
     [](Form1& f) { f.Check(1)->setChecked(true); },
     start("/30.wav"),
     {"Sound1/Active=1"}},
    {"clear box while ON",
     true,
     {1, 2},
     [](Form1& f) { f.Check(1)->setChecked(false); },
     stop("/30.wav"),
     {"Sound1/Active=0"}},
    {"tick box while OFF",
     false,
     {},
     [](Form1& f) { f.Check(3)->setChecked(true); },
     {},
     {"Sound3/Active=1"}},
    {"clear box while OFF",
     false,
     {3},
     [](Form1& f) { f.Check(3)->setChecked(false); },
     {},
     {"Sound3/Active=0"}},
    {"variant of ticked channel while ON",
     true,
     {2},
     [](Form1& f) { f.Option(2, 0)->setChecked(true); },
     restart("/7500.wav", "/5000.wav"),
     {"Sound2/Freq=0"}},
    {"variant of cleared channel while ON",
     true,
     {1, 3},
     [](Form1& f) { f.Option(2, 4)->setChecked(true); },
     {},
     {"Sound2/Freq=4"}},
    {"variant of ticked channel while OFF",
     false,
     {3},
     [](Form1& f) { f.Option(3, 3)->setChecked(true); },
     {},
     {"Sound3/Freq=3"}},
    {"variant of cleared channel while OFF",
     false,
     {},
     [](Form1& f) { f.Option(1, 2)->setChecked(true); },
     {},
     {"Sound1/Freq=2"}},
    {"wave shape while ON restarts ticked channels in order",
     true,
     {1, 3},
     [](Form1& f) { f.Option(4, 1)->setChecked(true); },
     restart("/30.wav", "/t30.wav") + restart("/450.wav", "/t450.wav"),
     {"WaveForm/Form=1"}},
    {"wave shape while OFF",
     false,
     {1, 2, 3},
     [](Form1& f) { f.Option(4, 1)->setChecked(true); },
     {},
     {"WaveForm/Form=1"}},
    {"switch ON",
     false,
     {1, 3},
     [](Form1& f) { f.optMediaMode(0)->setChecked(true); },
     kOpenDevice + start("/30.wav") + start("/450.wav"),
     {}},
    {"switch ON with no box ticked",
     false,
     {},
     [](Form1& f) { f.optMediaMode(0)->setChecked(true); },
     kOpenDevice,
     {}},
    {"switch OFF stops only ticked channels",
     true,
     {2, 3},
     [](Form1& f) { f.optMediaMode(1)->setChecked(true); },
     stop("/7500.wav") + stop("/450.wav"),
     {},
     {1}},
    {"slider while ON sets every loaded buffer",
     true,
     {2},
     [](Form1& f) { f.Slider1()->setValue(7); },
     {"setVolume /7500.wav -310"},
     {"Volume/V=7"}},
    {"slider while OFF changes no buffer",
     false,
     {1},
     [](Form1& f) { f.Slider1()->setValue(0); },
     {},
     {"Volume/V=0"}},
};

class ControllerEventTest : public ControllerTest,
                            public ::testing::WithParamInterface<EventCase> {};

TEST_P(ControllerEventTest, MakesExactlyItsSoundCallsAndWrites) {
    const EventCase& c = GetParam();
    arrange(c.on, c.ticked, c.cleared);
    c.event(*form);
    EXPECT_EQ(audio.log, c.calls);
    EXPECT_EQ(written(), c.writes);
    EXPECT_EQ(messages, QStringList{});
    EXPECT_EQ(lamp(), form->optMediaMode(0)->isChecked() ? kRed : kWhite);
}

INSTANTIATE_TEST_SUITE_P(EveryEventInEveryState, ControllerEventTest,
                         ::testing::ValuesIn(kEventCases),
                         [](const ::testing::TestParamInfo<EventCase>& info) {
                             QString name = QString::fromUtf8(info.param.name);
                             name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")),
                                          QStringLiteral("_"));
                             return name.toStdString();
                         });

TEST_F(ControllerTest, OffThenOnLoadsTickedChannelsAnewFromTheirStart) {
    arrange(true, {1, 2});
    form->optMediaMode(1)->setChecked(true);
    audio.log.clear();
    form->optMediaMode(0)->setChecked(true);
    EXPECT_EQ(
        audio.log,
        (QStringList{"directSoundCreate ''", "setCooperativeLevel 1",
                     "createSoundBufferFromFile /30.wav 16610", "release /30.wav", "play /30.wav 1",
                     "setVolume /30.wav -602", "createSoundBufferFromFile /7500.wav 16610",
                     "release /7500.wav", "play /7500.wav 1", "setVolume /7500.wav -602"}));
    EXPECT_EQ(audio.liveDevices, 1);
}

TEST_F(ControllerTest, RepeatedOnGivesANewDeviceAndNewBuffers) {
    arrange(true, {3});
    window->controller().optMediaMode_Click(0);
    const QStringList expected{
        "directSoundCreate ''", "setCooperativeLevel 1", "createSoundBufferFromFile /450.wav 16610",
        "release /450.wav",     "play /450.wav 1",       "setVolume /450.wav -602"};
    EXPECT_EQ(audio.log, expected);
    EXPECT_EQ(audio.liveBuffers, 1);
}

TEST_F(ControllerTest, FailedLoadEndsTheHandlerBeforeItsWrite) {
    arrange(true, {2});
    audio.script.failingFiles = {"/30.wav"};
    form->Check(1)->setChecked(true);
    EXPECT_EQ(audio.log, QStringList{"createSoundBufferFromFile /30.wav 16610"});
    EXPECT_EQ(written(), QStringList{});
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(dir.path() + "/30.wav"));
    EXPECT_TRUE(form->optMediaMode(0)->isChecked()) << "a file failure keeps the switch ON";

    // A failed reload of a playing channel keeps its old buffer.
    audio.log.clear();
    audio.script.failingFiles = {"/10000.wav"};
    form->Option(2, 2)->setChecked(true);
    EXPECT_EQ(audio.log, (QStringList{"stop /7500.wav", "setCurrentPosition /7500.wav 0",
                                      "createSoundBufferFromFile /10000.wav 16610"}));
    EXPECT_NE(window->engine().buffer(2), nullptr);
    EXPECT_EQ(written(), QStringList{});
}

TEST_F(ControllerTest, FailedDeviceOpenReturnsTheSwitchToOff) {
    arrange(false, {1});
    QColor lampWhileOpening;
    audio.script.failDevice = true;
    audio.script.onDeviceCreate = [this, &lampWhileOpening] { lampWhileOpening = lamp(); };
    form->optMediaMode(0)->setChecked(true);

    EXPECT_EQ(lampWhileOpening, kRed) << "the lamp lights before the device is opened";
    EXPECT_EQ(audio.log, (QStringList{"createRoot", "directSoundCreate ''"}));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(form->optMediaMode(1)->isChecked());
    EXPECT_FALSE(form->optMediaMode(0)->isChecked());
    EXPECT_EQ(lamp(), kWhite);
    EXPECT_EQ(window->engine().device(), nullptr);
}

TEST_F(ControllerTest, UnwritableSettingsAreToldOnceAndTheWindowGoesOn) {
    arrange(true, {});
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("setting.ini")));
    form->Check(1)->setChecked(true);
    form->Slider1()->setValue(3);
    form->Option(4, 1)->setChecked(true);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(iniEdit::settingsPath(dir.path())));
    EXPECT_EQ(audio.log.filter("play").size(), 2) << "channel 1 started, then restarted";
}

TEST_F(ControllerTest, NothingThrownInsideAHandlerLeavesTheSlot) {
    arrange(true, {});
    audio.script.throwingFiles = {"/30.wav"};
    EXPECT_NO_THROW(form->Check(1)->setChecked(true));
    EXPECT_TRUE(form->Check(1)->isChecked());
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(written(), QStringList{});
}

} // namespace
} // namespace vemba
