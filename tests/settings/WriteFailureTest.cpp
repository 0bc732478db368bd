#include "Files.h"
#include "QtPrinters.h"
#include "iniEdit.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace vemba;

// What a command printed; what it says on its error output goes to the log.
QString outputOf(const QStringList& command,
                 const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(command[0], command.mid(1));
    EXPECT_TRUE(process.waitForFinished(30000)) << command.join(' ').toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Root may write anything, so as root the writer runs as nobody; anyone else
// runs it as themselves. The modes deny the owner and everyone else alike.
TEST(WriteFailure, TheFirstFailureOfARunIsToldOnceAndTheRunGoesOn) {
    QStringList command = {VEMBA_SETTINGS_CHILD};
    if (::geteuid() == 0) {
        command =
            QStringList{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"} + command;
        if (QProcess::execute(command[0], command.mid(1, 3) + QStringList{"true"}) != 0) {
            GTEST_SKIP() << "running as root, and setpriv cannot drop to nobody here";
        }
    }
    // A program directory that is gone, and modes that deny a write.
    const struct {
        const char* program;
        mode_t dirMode, fileMode;
        const char* reason;
    } cases[] = {{"/gone", 0777, 0, "「<dir>」がありません"},
                 {"", 0777, 0444, "読み取り専用"},
                 {"", 0555, 0666, "書き込む権限"},
                 {"", 0777, 0222, "読み取れません"}};
    const QByteArray before = "; mine\r\n[Volume]\r\nV=0\r\n[Other]\r\nX=y\r\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        QTemporaryDir dir;
        const QByteArray dirName = QFile::encodeName(dir.path());
        const QString programDir = dir.path() + c.program;
        const QString path = iniEdit::settingsPath(programDir);
        if (c.fileMode != 0) {
            ASSERT_TRUE(writeFile(path, before));
            ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), c.fileMode), 0);
        }
        ASSERT_EQ(::chmod(dirName.constData(), c.dirMode), 0);
        const QString out = outputOf(command + QStringList{programDir, "3"});
        EXPECT_TRUE(out.endsWith("DONE\n")) << "the program goes on:\n" << out.toStdString();
        EXPECT_EQ(out.count("MESSAGE "), 1) << out.toStdString();
        EXPECT_TRUE(out.contains(path) &&
                    out.contains(QString::fromUtf8(c.reason).replace("<dir>", programDir)))
            << out.toStdString();
        ::chmod(QFile::encodeName(path).constData(), 0600);
        ::chmod(dirName.constData(), 0700); // so that the directory can go
        if (c.fileMode != 0) {
            EXPECT_EQ(readFile(path), before);
        }
    }
}

// Qt once committed a half-written file when the last flush hit a full disk.
// The full disk is a 64 KiB file system of the shell's own, filled up before
// the writer runs.
TEST(WriteFailure, AFullDiskIsNamedAndTheOldFileStays) {
    QTemporaryDir dir;
    const QString script =
        QStringLiteral("mount -t tmpfs -o size=64k tmpfs \"$1\" && echo MOUNTED || exit; cd \"$1\";"
                       "printf '[Volume]\\nV=0\\n' >setting.ini; cat /dev/zero >filler 2>/dev/null;"
                       "\"$2\" \"$1\" 1 && cat setting.ini");
    const QString out = outputOf({"unshare", "--map-root-user", "--mount", "sh", "-c", script, "sh",
                                  dir.path(), VEMBA_SETTINGS_CHILD});
    if (!out.startsWith("MOUNTED\n")) {
        GTEST_SKIP() << "cannot mount a small file system";
    }
    EXPECT_EQ(out.count("MESSAGE "), 1) << out.toStdString();
    EXPECT_TRUE(out.contains(iniEdit::settingsPath(dir.path())) && out.contains("空き容量"))
        << out.toStdString();
    EXPECT_TRUE(out.endsWith("DONE\n[Volume]\nV=0\n")) << out.toStdString();
}

// Where a program keeps its settings: beside it while its directory may be
// written, else in the user's configuration directory, and the one-time
// message only when neither can be written. The read-only program directory
// is a read-only bind mount in a mount namespace of the writer's own, which
// even root cannot write (a mode of 0555 would not stop root).
TEST(SettingsPlace, BesideTheProgramElseInTheUsersConfigurationElseTold) {
    QTemporaryDir dir;
    const QString ro = dir.path() + "/ro";
    ASSERT_TRUE(QDir().mkpath(ro));
    // <ro> is the read-only directory, <home> the case's own HOME.
    const struct {
        const char* name;
        QString program, xdg, settings;
        bool told;
    } cases[] = {
        {"writable program directory", "<home>/prog", "<home>/xdg", "<home>/prog", false},
        {"read-only, relative XDG_CONFIG_HOME", "<ro>", "xdg", "<home>/.config/vemba-pc", false},
        {"read-only, XDG_CONFIG_HOME there", "<ro>", "<home>/xdg", "<home>/xdg/vemba-pc", false},
        {"configuration read-only too", "<ro>", "<ro>/xdg", "<ro>/xdg/vemba-pc", true},
    };
    const QString script = QStringLiteral(
        "mount --bind \"$1\" \"$1\" && mount -o remount,bind,ro \"$1\" && echo MOUNTED || exit;"
        "shift; exec \"$@\"");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir home;
        ASSERT_TRUE(QDir().mkpath(home.path() + "/prog"));
        ASSERT_EQ(::mkdir(QFile::encodeName(home.path() + "/xdg").constData(), 0755), 0);
        const auto place = [&](QString s) {
            return s.replace("<ro>", ro).replace("<home>", home.path());
        };
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", place(c.xdg));
        env.insert("HOME", home.path());
        const QString out =
            outputOf({"unshare", "--map-root-user", "--mount", "sh", "-c", script, "sh", ro,
                      VEMBA_SETTINGS_CHILD, place(c.program), "3", "program"},
                     env);
        if (!out.startsWith("MOUNTED\n")) {
            GTEST_SKIP() << "cannot mount read-only";
        }
        const QString path = iniEdit::settingsPath(place(c.settings));
        EXPECT_TRUE(out.contains("DIRECTORY " + place(c.settings) + "\n")) << out.toStdString();
        EXPECT_EQ(out.count("MESSAGE "), c.told ? 1 : 0) << out.toStdString();
        EXPECT_EQ(out.contains(path), c.told) << out.toStdString();
        // The next start reads it back, from where it is on disk.
        EXPECT_TRUE(out.endsWith(c.told ? "READ \nDONE\n" : "READ 3\nDONE\n")) << out.toStdString();
        EXPECT_EQ(QFile::exists(path), !c.told);
        // Folders made for the settings are the user's alone; one that was
        // there keeps its mode.
        const auto mode = [](const QString& p) {
            struct stat st {};
            return ::stat(QFile::encodeName(p).constData(), &st) == 0 ? st.st_mode & 07777 : 0U;
        };
        if (!c.told && c.settings.endsWith("vemba-pc")) {
            const QString parent = QFileInfo(place(c.settings)).path();
            EXPECT_EQ(mode(place(c.settings)), 0700U);
            EXPECT_EQ(mode(parent), parent.endsWith("/xdg") ? 0755U : 0700U);
        }
    }
}

// Writers side by side, each adding keys of its own: every key is there at
// the end, because each read-modify-write waits for the one before.
TEST(ConcurrentWriters, NoWriterLosesAnotherOnesEntries) {
    QTemporaryDir dir;
    constexpr int kWriters = 4;
    constexpr int kWrites = 25;
    std::vector<std::unique_ptr<QProcess>> children;
    for (int w = 0; w < kWriters; ++w) {
        children.push_back(std::make_unique<QProcess>());
        children.back()->start(VEMBA_SETTINGS_CHILD,
                               {dir.path(), QString::number(kWrites), QString("w%1_").arg(w)});
    }
    for (auto& child : children) {
        ASSERT_TRUE(child->waitForFinished(60000));
        EXPECT_EQ(child->readAllStandardOutput(), "DONE\n");
    }
    EXPECT_EQ(readFile(iniEdit::settingsPath(dir.path())).count('='), kWriters * kWrites);
}

// Where the data or the folder entry does not reach the disk, or the rename
// fails (a folder in the file's place), the write is told as failed; a
// failed data sync keeps the old file, and no temporary file is left. A link
// is followed: the target's folder takes the new file and is the one synced
// and named.
TEST(FailedSync, IsToldAndAFailedDataSyncKeepsTheOldFile) {
    QTemporaryDir dir;
    const QString real = dir.path() + "/real";
    ASSERT_TRUE(QDir().mkpath(real) && QDir().mkpath(dir.path() + "/prog"));
    const QString path = iniEdit::settingsPath(dir.path() + "/prog");
    ASSERT_TRUE(QFile::link(real + "/setting.ini", path));
    for (const QString failing : {"file", "folder", "rename", ""}) {
        SCOPED_TRACE(failing.toStdString());
        ASSERT_TRUE(writeFile(real + "/setting.ini", "[Volume]\nV=0\n"));
        QStringList synced;
        iniEdit::setSyncForTesting([&](int fd) {
            const QString name = QFileInfo(QString("/proc/self/fd/%1").arg(fd)).symLinkTarget();
            const bool folder = QFileInfo(name).isDir();
            synced << (folder ? name : "file");
            if (failing == "rename" && !folder) {
                QFile::remove(real + "/setting.ini");
                QDir(real).mkdir("setting.ini");
            }
            errno = EIO;
            return failing == (folder ? "folder" : "file") ? -1 : 0;
        });
        const Result r = iniEdit::WriteSetting(dir.path() + "/prog", "Volume", "V", "7");
        iniEdit::setSyncForTesting({});
        EXPECT_EQ(r.ok(), failing.isEmpty()) << r.reason().toStdString();
        EXPECT_TRUE(QFileInfo(path).isSymLink());
        EXPECT_EQ(QDir(real).entryList(QDir::Files).join(' '),
                  failing == "rename" ? "" : "setting.ini")
            << "a file left";
        QDir(real).rmdir("setting.ini");
        EXPECT_EQ(readFile(path), failing == "rename" ? "<missing>"
                                  : failing == "file" ? "[Volume]\nV=0\n"
                                                      : "[Volume]\nV=7\n");
        EXPECT_EQ(synced.join(' '),
                  failing == "file" || failing == "rename" ? "file" : "file " + real);
        EXPECT_EQ(r.reason().contains("「" + real + "」"), failing == "folder");
    }
}

} // namespace
