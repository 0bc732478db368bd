#include "SettingsStore.h"
#include "iniEdit.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace vemba;

QByteArray fileText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// Failures any user can cause: a folder where the file should be, a program
// directory that is gone.
TEST(WriteFailure, TheFirstFailureOfARunIsToldOnly) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("folder/setting.ini"));
    const struct {
        QString programDir;
        QString reason;
    } cases[] = {{dir.path() + "/folder", "同じ名前のフォルダーがあります"},
                 {dir.path() + "/gone", "「" + dir.path() + "/gone」がありません"}};
    for (const auto& c : cases) {
        QStringList told;
        SettingsStore store(c.programDir, [&](const QString& message) { told << message; });
        for (const char* value : {"2", "3", "4"}) {
            store.WriteSetting("Volume", "V", value);
        }
        ASSERT_EQ(told.size(), 1);
        EXPECT_TRUE(told[0].contains(iniEdit::settingsPath(c.programDir)) &&
                    told[0].contains(c.reason))
            << told[0].toStdString();
        EXPECT_EQ(store.ReadSetting("Volume", "V"), "") << "the value is lost, not kept somewhere";
    }
    QStringList told;
    SettingsStore good(dir.path(), [&](const QString& message) { told << message; });
    good.WriteSetting("Volume", "V", "5");
    EXPECT_EQ(good.ReadSetting("Volume", "V"), "5");
    EXPECT_TRUE(told.isEmpty()) << "a good write tells nothing";
    SettingsStore(cases[1].programDir).WriteSetting("Volume", "V", "6"); // nobody to tell: goes on
}

// Root may write anything, so as root the writer runs as nobody; anyone else
// runs it as themselves. The modes deny the owner and everyone else alike.
TEST(WriteFailure, AnUnwritableFileIsToldOnceAndTheRunGoesOn) {
    QStringList command = {VEMBA_SETTINGS_CHILD};
    if (::geteuid() == 0) {
        command =
            QStringList{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"} + command;
        if (QProcess::execute(command[0], command.mid(1, 3) + QStringList{"true"}) != 0) {
            GTEST_SKIP() << "running as root, and setpriv cannot drop to nobody here";
        }
    }
    const struct {
        mode_t dirMode, fileMode;
        const char* reason;
    } cases[] = {
        {0777, 0444, "読み取り専用"}, {0555, 0666, "書き込む権限"}, {0777, 0222, "読み取れない"}};
    const QByteArray before = "; mine\r\n[Volume]\r\nV=0\r\n[Other]\r\nX=y\r\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        QTemporaryDir dir;
        const QByteArray dirName = QFile::encodeName(dir.path());
        const QString path = iniEdit::settingsPath(dir.path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(before) == before.size());
        f.close();
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), c.fileMode), 0);
        ASSERT_EQ(::chmod(dirName.constData(), c.dirMode), 0);
        QProcess child;
        child.start(command[0], command.mid(1) + QStringList{dir.path(), "3"});
        ASSERT_TRUE(child.waitForFinished(30000));
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        EXPECT_TRUE(out.endsWith("DONE\n")) << "the program goes on:\n" << out.toStdString();
        EXPECT_EQ(out.count("MESSAGE "), 1) << out.toStdString();
        EXPECT_TRUE(out.contains(path) && out.contains(QString::fromUtf8(c.reason)))
            << out.toStdString();
        ::chmod(QFile::encodeName(path).constData(), 0600);
        ::chmod(dirName.constData(), 0700); // so that the directory can go
        EXPECT_EQ(fileText(path), before);
    }
}

// errno's text after a failed step, for the skip message.
QByteArray failedStep(const char* step) {
    return QByteArray("cannot mount a small file system: ") + step + ": " + std::strerror(errno);
}

bool writeProcFile(const char* name, const QByteArray& text) {
    QFile f(QString::fromLatin1(name));
    return f.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && f.write(text) == text.size();
}

// Mounts a 64 KiB tmpfs on dir in a mount namespace of this process alone,
// which goes with the process. Anyone but root needs a user namespace for it,
// mapping their own ids. Empty when mounted, else what failed.
QByteArray mountSmallDisk(const QByteArray& dir) {
    if (::geteuid() != 0) {
        const QByteArray uid = QByteArray::number(::geteuid());
        const QByteArray gid = QByteArray::number(::getegid());
        if (::unshare(CLONE_NEWUSER) != 0) {
            return failedStep("unshare(CLONE_NEWUSER)");
        }
        if (!writeProcFile("/proc/self/setgroups", "deny") ||
            !writeProcFile("/proc/self/uid_map", uid + ' ' + uid + " 1") ||
            !writeProcFile("/proc/self/gid_map", gid + ' ' + gid + " 1")) {
            return failedStep("mapping the user's ids");
        }
    }
    if (::unshare(CLONE_NEWNS) != 0) {
        return failedStep("unshare(CLONE_NEWNS)");
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return failedStep("making the mounts private");
    }
    if (::mount("tmpfs", dir.constData(), "tmpfs", 0, "size=64k,mode=0755") != 0) {
        return failedStep("mount tmpfs");
    }
    return {};
}

// Qt once committed a half-written file when the last flush hit a full disk.
// The full disk lives in a forked child, which answers "<reason>\0<file>", or
// why it could not mount one.
TEST(WriteFailure, AFullDiskIsNamedAndTheOldFileStays) {
    QTemporaryDir dir;
    const QString path = iniEdit::settingsPath(dir.path());
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(pipeFds[0]);
        QByteArray answer = mountSmallDisk(QFile::encodeName(dir.path()));
        if (answer.isEmpty()) {
            iniEdit::WriteSetting(dir.path(), "Volume", "V", "1");
            QFile filler(dir.path() + "/filler");
            if (filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
                while (filler.write(QByteArray(4096, 'x')) == 4096) {
                }
            }
            const auto r = iniEdit::WriteSetting(dir.path(), "Memo", "Long", QString(2000, u'm'));
            answer =
                (r.ok() ? QByteArray("<written>") : r.reason().toUtf8()) + '\0' + fileText(path);
        }
        const bool sent = ::write(pipeFds[1], answer.constData(), answer.size()) == answer.size();
        _exit(sent ? 0 : 1);
    }
    ::close(pipeFds[1]);
    QFile pipe;
    ASSERT_TRUE(pipe.open(pipeFds[0], QIODevice::ReadOnly, QFile::AutoCloseHandle));
    const QByteArray answer = pipe.readAll();
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    if (!answer.contains('\0')) {
        GTEST_SKIP() << answer.toStdString();
    }
    const QString reason = QString::fromUtf8(answer.left(answer.indexOf('\0')));
    EXPECT_TRUE(reason.contains(path) && reason.contains("空き容量")) << reason.toStdString();
    EXPECT_EQ(answer.mid(answer.indexOf('\0') + 1), "[Volume]\nV=1\n");
}

} // namespace
