// The window's event logic against a recording audio layer: the exact sound
// calls of every event in every state, the one settings write, and failures.

#include "MainWindowController.h"
#include "QtPrinters.h"
#include "WindowTest.h"
#include "iniEdit.h"

#include <QFile>
#include <QLabel>
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

    // The settings file's lines: "[Section]", "Key=value".
    QStringList written() const {
        QFile file(iniEdit::settingsPath(dir.path()));
        return file.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
                   : QStringList{};
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
    bool on, onAfter; // the switch before and after the event
    std::set<int> ticked;
    Action event;
    QStringList calls;
    QStringList writes;
    std::set<int> loaded = {};
    testing::RecordingAudioLayer::Script fault = {};
    QStringList told = {};  // per message, the files it names
    bool playFails = false; // Play cannot open the stream: the audio layer tells it
};

void PrintTo(const EventCase& c, std::ostream* os) {
    *os << c.name;
}

// The design selects "30Hz", "7.5KHz", "450Hz" and sine; the slider stands at 5.
// A failed load ends its handler before the write; no device, and the switch
// goes back OFF. One file failing at switch ON, FaultMatrixTest shows end to end.
// clang-format off
const EventCase kEventCases[] = {
    {"tick while ON", true, true, {}, tick(1), start("/30.wav"), {"[Sound1]", "Active=1"}},
    {"clear while ON", true, true, {1, 2}, tick(1, false), stop("/30.wav"),
     {"[Sound1]", "Active=0"}},
    {"clear while OFF", false, false, {3}, tick(3, false), {}, {"[Sound3]", "Active=0"}, {3}},
    {"variant of ticked channel while ON restarts it", true, true, {2}, select(2, 0),
     restart("/7500.wav", "/5000.wav"), {"[Sound2]", "Freq=0"}},
    {"variant of cleared channel while ON", true, true, {1, 3}, select(2, 4), {},
     {"[Sound2]", "Freq=4"}},
    {"wave shape while ON restarts ticked channels in order", true, true, {1, 3}, select(4, 1),
     restart("/30.wav", "/t30.wav") + restart("/450.wav", "/t450.wav"), {"[WaveForm]", "Form=1"}},
    {"switch ON again loads ticked channels anew", false, true, {1, 2}, turn(true),
     kOpenDevice.mid(1) + reload("/30.wav", "/30.wav") + reload("/7500.wav", "/7500.wav"), {},
     {1, 2}},
    {"switch OFF stops only ticked channels", true, false, {2, 3}, turn(false),
     stop("/7500.wav") + stop("/450.wav"), {}, {1}},
    {"slider while ON sets every loaded buffer", true, true, {1, 3}, slide(7),
     {"setVolume /30.wav -310", "setVolume /450.wav -310"}, {"[Volume]", "V=7"}},
    {"slider while OFF", false, false, {1}, slide(0), {}, {"[Volume]", "V=0"}, {1}},
    {"failed load while ON", true, true, {2}, tick(1),
     {"createSoundBufferFromFile /30.wav 16610"}, {}, {}, {.failingFiles = {"/30.wav"}},
     {"/30.wav"}},
    {"switch ON with nothing loading names every file and goes back OFF", false, false, {1, 2},
     turn(true), kOpenDevice + QStringList{"createSoundBufferFromFile /30.wav 16610",
                                           "createSoundBufferFromFile /7500.wav 16610"},
     {}, {}, {.failingFiles = {"/30.wav", "/7500.wav"}}, {"/30.wav /7500.wav"}},
    {"any exception in a handler is told", true, true, {}, tick(1),
     {"createSoundBufferFromFile /30.wav 16610"}, {}, {}, {.throwingFiles = {"/30.wav"}}, {""}},
    {"switch ON without a device goes back OFF", false, false, {1}, turn(true),
     {"createRoot", "directSoundCreate ''"}, {}, {}, {.failDevice = true}, {""}},
    {"a Play that cannot open the stream goes back OFF, the tick still stored", true, false, {},
     tick(1), start("/30.wav") + stop("/30.wav"), {"[Sound1]", "Active=1"}, {}, {}, {""}, true},
};
// clang-format on

class ControllerEventTest : public ControllerTest,
                            public ::testing::WithParamInterface<EventCase> {};

TEST_P(ControllerEventTest, MakesExactlyItsSoundCallsAndWrites) {
    const EventCase& c = GetParam();
    arrange(c.on, c.ticked, c.loaded);
    audio.script = c.fault;
    audio.script.programDir = dir.path();
    QColor lampAtOpen;
    audio.script.onDeviceCreate = [&] { lampAtOpen = lamp(); };
    if (c.playFails) {
        audio.script.onPlay = [this] { window->playFailed(QStringLiteral("no stream")); };
    }
    c.event(*form);
    if (audio.log.contains("directSoundCreate ''")) {
        EXPECT_EQ(lampAtOpen, kRed) << "the lamp lights before the device is opened";
    }
    EXPECT_EQ(audio.log, c.calls);
    EXPECT_EQ(written(), c.writes);
    ASSERT_EQ(messages.size(), c.told.size()) << messages.join('\n').toStdString();
    for (qsizetype i = 0; i < messages.size(); ++i) {
        for (const QString& file : c.told[i].split(' ', Qt::SkipEmptyParts)) {
            EXPECT_TRUE(messages[i].contains(dir.path() + file)) << messages[i].toStdString();
        }
    }
    EXPECT_EQ(form->optMediaMode(0)->isChecked(), c.onAfter);
    EXPECT_EQ(lamp(), c.onAfter ? kRed : kWhite);
}

INSTANTIATE_TEST_SUITE_P(EveryEventInEveryState, ControllerEventTest,
                         ::testing::ValuesIn(kEventCases));

// A stream given up for good while ON: told once, the switch back OFF and
// what played stopped; while OFF, nothing.
TEST_F(ControllerTest, AStreamLostForGoodTurnsTheSwitchOff) {
    for (const bool on : {true, false}) {
        arrange(true, {1});
        arrange(on, {1});
        messages.clear();
        window->streamLost(QStringLiteral("gone"));
        EXPECT_FALSE(form->optMediaMode(0)->isChecked());
        EXPECT_EQ(lamp(), kWhite);
        EXPECT_EQ(messages, on ? QStringList{QStringLiteral("gone")} : QStringList{});
        EXPECT_EQ(audio.log, on ? stop("/30.wav") : QStringList{});
    }
}

} // namespace
} // namespace vemba
