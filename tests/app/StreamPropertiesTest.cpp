// The program's stream as the sound server's volume mixer sees it: under the
// program's name, icon and version, named after what plays, and at the volume
// the user set there for the stream before. On a PulseAudio server of the
// test's own, whose module-stream-restore keeps volumes in the test's
// temporary directory.

#include "ProgramStart.h"
#include "QtPrinters.h"
#include "WindowTest.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

namespace vemba {
namespace {

QByteArray run(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(10000) || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(1000);
        ADD_FAILURE() << program.toStdString() << ' ' << args.join(' ').toStdString() << ": "
                      << process.readAllStandardError().toStdString();
        return {};
    }
    return process.readAllStandardOutput();
}

// The server in a directory of its own, stopped however the test ends.
struct Server {
    QTemporaryDir dir{QStringLiteral("/tmp/vemba-restore-XXXXXX")};
    QString fixture = qEnvironmentVariable("VEMBA_SOUND_FIXTURE");
    Server() {
        run(fixture, {QStringLiteral("start"), dir.path()});
        qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(dir.path()) + "/native");
        run(QStringLiteral("pactl"),
            {QStringLiteral("load-module"), QStringLiteral("module-stream-restore")});
    }
    ~Server() { run(fixture, {QStringLiteral("stop"), dir.path()}); }
};

struct Stream {
    QString index;
    QMap<QString, QString> properties;
    QStringList volumes; // one per channel: "40%"
};

// pactl's JSON turns text outside ASCII into null: its own text it is.
QList<Stream> sinkInputs() {
    QList<Stream> streams;
    static const QRegularExpression property(QStringLiteral(R"re(^\t\t([\w.]+) = "(.*)"$)re"));
    static const QRegularExpression percent(QStringLiteral(R"((\d+%))"));
    const QString text = QString::fromUtf8(
        run(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")}));
    for (const QString& line : text.split('\n')) {
        if (line.startsWith(QStringLiteral("Sink Input #"))) {
            streams.append({line.mid(12), {}, {}});
        } else if (streams.isEmpty()) {
            continue;
        } else if (const auto match = property.match(line); match.hasMatch()) {
            streams.last().properties[match.captured(1)] = match.captured(2);
        } else if (line.startsWith(QStringLiteral("\tVolume:"))) {
            for (const auto& m : percent.globalMatch(line)) {
                streams.last().volumes << m.captured(1);
            }
        }
    }
    return streams;
}

// The one stream on the server, once there is exactly one.
Stream theStream() {
    QList<Stream> streams;
    (void)QTest::qWaitFor([&streams] { return (streams = sinkInputs()).size() == 1; }, 10000);
    EXPECT_EQ(streams.size(), 1);
    return streams.value(0);
}

TEST(StreamProperties, NamedAfterProgramAndWhatPlaysAndRestoredAtTheUsersVolume) {
    Server server;
    QTemporaryDir dir;
    testing::copyTones(dir.path());
    Program program(dir.path(), qEnvironmentVariable("VEMBA_PROGRAM_DIR"));
    QStringList messages;
    testing::collectMessages(program.window(), messages);
    program.start();
    Form1& form = program.window().form();
    PlayerStatus& status = program.window().status();

    QTest::mouseClick(form.Check(1), Qt::LeftButton);
    status.switchOn();
    Stream stream = theStream();
    EXPECT_EQ(stream.properties["application.name"], QStringLiteral("ヴェンバPC"));
    EXPECT_EQ(stream.properties["application.id"], QStringLiteral("vemba-pc"));
    EXPECT_EQ(stream.properties["application.icon_name"], QStringLiteral("vemba-pc"));
    EXPECT_EQ(stream.properties["application.version"], QStringLiteral(VEMBA_VERSION));
    const QString first = status.title();
    EXPECT_EQ(stream.properties["media.name"], first);
    // A role would file the volume under the role, shared with other players.
    EXPECT_TRUE(!stream.properties.contains("media.role"));

    QTest::mouseClick(form.Check(3), Qt::LeftButton);
    ASSERT_NE(status.title(), first);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return theStream().properties["media.name"] == status.title(); }, 10000))
        << theStream().properties["media.name"].toStdString();

    run(QStringLiteral("pactl"),
        {QStringLiteral("set-sink-input-volume"), stream.index, QStringLiteral("40%")});
    status.switchOff();
    ASSERT_TRUE(QTest::qWaitFor([] { return sinkInputs().isEmpty(); }, 10000))
        << "the stream stayed open";
    status.switchOn();
    stream = theStream();
    EXPECT_EQ(stream.volumes, QStringList({"40%", "40%"}));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

} // namespace
} // namespace vemba
