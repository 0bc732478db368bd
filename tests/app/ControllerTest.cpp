// The window's event logic against a recording audio layer: the exact sound
// calls of every event in every state, the one settings write, and failures.

#include "MainWindowController.h"
#include "QtPrinters.h"
#include "WindowTest.h"
#include "iniEdit.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <set>

namespace vemba {
namespace {

const QColor kRed(255, 0, 0);
const QColor kWhite(255, 255, 255);

class ControllerTest : public testing::WindowTest {
protected:
    // Ticks the given channels; `loaded` ones have played once (switched ON
    // and, where not ticked, cleared again: they keep their buffer). Then
    // forgets the sound calls and the settings written so far.
    void arrange(bool on, const std::set<int>& ticked, const std::set<int>& loaded = {}) {
        for (int channel = 1; channel <= 3; ++channel) {
            form->Check(channel)->setChecked(ticked.count(channel) + loaded.count(channel) != 0);
        }
        form->optMediaMode(on || !loaded.empty() ? 0 : 1)->setChecked(true);
        form->optMediaMode(on ? 0 : 1)->setChecked(true);
        for (int channel : loaded) {
            form->Check(channel)->setChecked(ticked.count(channel) != 0);
        }
        audio.log.clear();
        QFile::remove(iniEdit::settingsPath(dir.path()));
    }

    // The settings file's entries as "section/key=value" lines.
    QStringList written() const {
        QFile file(iniEdit::settingsPath(dir.path()));
        QStringList entries;
        QString section;
        for (const QByteArray& raw :
             file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>{}) {
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

QStringList start(const QString& file, int volume = -602) {
    return {QStringLiteral("createSoundBufferFromFile %1 16610").arg(file),
            QStringLiteral("play %1 1").arg(file),
            QStringLiteral("setVolume %1 %2").arg(file).arg(volume)};
}

QStringList stop(const QString& file) {
    return {QStringLiteral("stop %1").arg(file),
            QStringLiteral("setCurrentPosition %1 0").arg(file)};
}

// A new buffer in the place of the old one, which is released once replaced.
QStringList reload(const QString& from, const QString& to) {
    QStringList calls = start(to);
    calls.insert(1, QStringLiteral("release %1").arg(from));
    return calls;
}

QStringList restart(const QString& from, const QString& to) {
    return stop(from) + reload(from, to);
}

const QStringList kOpenDevice{"createRoot", "directSoundCreate ''", "setCooperativeLevel 1"};

using Action = std::function<void(Form1&)>;
Action tick(int channel, bool ticked = true) {
    return [=](Form1& f) { f.Check(channel)->setChecked(ticked); };
}
Action select(int array, int member) {
    return [=](Form1& f) { f.Option(array, member)->setChecked(true); };
}
Action turn(bool on) {
    return [=](Form1& f) { f.optMediaMode(on ? 0 : 1)->setChecked(true); };
}
Action slide(int value) {
    return [=](Form1& f) { f.Slider1()->setValue(value); };
}

struct EventCase {
    const char* name;
    bool on;
    std::set<int> ticked;
    Action event;
    QStringList calls;
    QStringList writes;
    std::set<int> loaded = {};
};

void PrintTo(const EventCase& c, std::ostream* os) {
    *os << c.name;
}

// The design selects "30Hz", "7.5KHz", "450Hz" and sine; the slider stands at 5.
const EventCase kEventCases[] = {
    {"tick box while ON", true, {}, tick(1), start("/30.wav"), {"Sound1/Active=1"}},
    {"clear box while ON", true, {1, 2}, tick(1, false), stop("/30.wav"), {"Sound1/Active=0"}},
    {"tick box while OFF", false, {}, tick(3), {}, {"Sound3/Active=1"}},
    {"clear box while OFF", false, {3}, tick(3, false), {}, {"Sound3/Active=0"}, {3}},
    {"variant of ticked channel while ON restarts it",
     true,
     {2},
     select(2, 0),
     restart("/7500.wav", "/5000.wav"),
     {"Sound2/Freq=0"}},
    {"variant of cleared channel while ON", true, {1, 3}, select(2, 4), {}, {"Sound2/Freq=4"}},
    {"variant of ticked channel while OFF", false, {3}, select(3, 3), {}, {"Sound3/Freq=3"}},
    {"wave shape while ON restarts ticked channels in order",
     true,
     {1, 3},
     select(4, 1),
     restart("/30.wav", "/t30.wav") + restart("/450.wav", "/t450.wav"),
     {"WaveForm/Form=1"}},
    {"wave shape while OFF", false, {1, 2, 3}, select(4, 1), {}, {"WaveForm/Form=1"}},
    {"switch ON opens the device and starts ticked channels",
     false,
     {1, 3},
     turn(true),
     kOpenDevice + start("/30.wav") + start("/450.wav"),
     {}},
    {"switch ON again loads ticked channels anew",
     false,
     {1, 2},
     turn(true),
     kOpenDevice.mid(1) + reload("/30.wav", "/30.wav") + reload("/7500.wav", "/7500.wav"),
     {},
     {1, 2}},
    {"switch OFF stops only ticked channels",
     true,
     {2, 3},
     turn(false),
     stop("/7500.wav") + stop("/450.wav"),
     {},
     {1}},
    {"slider while ON sets every loaded buffer",
     true,
     {1, 3},
     slide(7),
     {"setVolume /30.wav -310", "setVolume /450.wav -310"},
     {"Volume/V=7"}},
    {"slider while OFF changes no buffer", false, {1}, slide(0), {}, {"Volume/V=0"}, {1}},
};

class ControllerEventTest : public ControllerTest,
                            public ::testing::WithParamInterface<EventCase> {};

TEST_P(ControllerEventTest, MakesExactlyItsSoundCallsAndWrites) {
    const EventCase& c = GetParam();
    arrange(c.on, c.ticked, c.loaded);
    c.event(*form);
    EXPECT_EQ(audio.log, c.calls);
    EXPECT_EQ(written(), c.writes);
    EXPECT_EQ(messages, QStringList{});
    EXPECT_EQ(lamp(), form->optMediaMode(0)->isChecked() ? kRed : kWhite);
}

INSTANTIATE_TEST_SUITE_P(EveryEventInEveryState, ControllerEventTest,
                         ::testing::ValuesIn(kEventCases),
                         [](const ::testing::TestParamInfo<EventCase>& info) {
                             return QString::fromUtf8(info.param.name)
                                 .replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")),
                                          QStringLiteral("_"))
                                 .toStdString();
                         });

TEST_F(ControllerTest, FailedLoadEndsTheHandlerBeforeItsWriteAndKeepsTheSwitchOn) {
    arrange(true, {2});
    audio.script.failingFiles = {"/30.wav"};
    form->Check(1)->setChecked(true);
    EXPECT_EQ(audio.log, QStringList{"createSoundBufferFromFile /30.wav 16610"});
    EXPECT_EQ(written(), QStringList{});
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(dir.path() + "/30.wav"));
    EXPECT_TRUE(form->optMediaMode(0)->isChecked());
}

TEST_F(ControllerTest, SwitchingOnPlaysEveryChannelWhoseFileLoads) {
    arrange(false, {1, 2, 3});
    audio.script.failingFiles = {"/7500.wav"};
    form->optMediaMode(0)->setChecked(true);
    EXPECT_EQ(audio.log.filter("play "), (QStringList{"play /30.wav 1", "play /450.wav 1"}));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(dir.path() + "/7500.wav"));
    EXPECT_TRUE(form->optMediaMode(0)->isChecked());

    // Nothing loads: one message names both files, and the switch goes back to OFF.
    form->optMediaMode(1)->setChecked(true);
    arrange(false, {1, 2});
    audio.script.failingFiles = {"/30.wav", "/7500.wav"};
    form->optMediaMode(0)->setChecked(true);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].contains("/30.wav") && messages[1].contains("/7500.wav"));
    EXPECT_TRUE(form->optMediaMode(1)->isChecked());
    EXPECT_EQ(lamp(), kWhite);
}

TEST_F(ControllerTest, FailedDeviceOpenReturnsTheSwitchToOff) {
    arrange(false, {1});
    QColor lampWhileOpening;
    audio.script.failDevice = true;
    audio.script.onDeviceCreate = [this, &lampWhileOpening] { lampWhileOpening = lamp(); };
    form->optMediaMode(0)->setChecked(true);

    EXPECT_EQ(lampWhileOpening, kRed) << "the lamp lights before the device is opened";
    EXPECT_EQ(audio.log, (QStringList{"createRoot", "directSoundCreate ''"}));
    EXPECT_EQ(messages.size(), 1);
    EXPECT_TRUE(form->optMediaMode(1)->isChecked());
    EXPECT_EQ(lamp(), kWhite);
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

TEST_F(ControllerTest, AnyExceptionInAHandlerIsToldAndLeavesNoSlot) {
    arrange(true, {});
    audio.script.throwingFiles = {"/30.wav"};
    EXPECT_NO_THROW(form->Check(1)->setChecked(true));
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(written(), QStringList{});
}

} // namespace
} // namespace vemba
