#include "SettingsStore.h"
#include "iniEdit.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

namespace {

using namespace vemba;

QByteArray fileText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

TEST(WriteFailure, TheFirstFailureOfARunIsToldOnly) {
    QTemporaryDir dir;
    QStringList told;
    SettingsStore store(dir.path(), [&](const QString& message) { told << message; });
    const QString path = iniEdit::settingsPath(dir.path());
    store.WriteSetting("Volume", "V", "1");
    EXPECT_TRUE(told.isEmpty()) << "a good write tells nothing";

    ASSERT_TRUE(QFile::remove(path) && QDir(dir.path()).mkdir("setting.ini"));
    for (const char* value : {"2", "3", "4"}) {
        store.WriteSetting("Volume", "V", value);
    }
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(path) && told[0].contains("フォルダー")) << told[0].toStdString();
    EXPECT_EQ(store.ReadSetting("Volume", "V"), "") << "the value is lost, not kept somewhere";
    SettingsStore silent(dir.path()); // a store that tells nobody goes on as well
    silent.WriteSetting("Volume", "V", "5");
}

// Root may write anything, so the permission cases run the writer as nobody.
TEST(WriteFailure, AsNobodyARunTellsTheCauseOnceAndGoesOn) {
    const QStringList asNobody = {"--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    if (QProcess::execute("setpriv", asNobody + QStringList{"true"}) != 0) {
        GTEST_SKIP() << "setpriv cannot drop to nobody here";
    }
    const struct {
        mode_t dirMode, fileMode;
        const char* reason;
    } cases[] = {
        {0777, 0444, "読み取り専用"}, {0755, 0666, "書き込む権限"}, {0777, 0222, "読み取れない"}};
    const QByteArray before = "; mine\r\n[Volume]\r\nV=0\r\n[Other]\r\nX=y\r\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        QTemporaryDir dir;
        const QString path = iniEdit::settingsPath(dir.path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(before) == before.size());
        f.close();
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), c.fileMode), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), c.dirMode), 0);
        QProcess child;
        child.start("setpriv", asNobody + QStringList{VEMBA_SETTINGS_CHILD, dir.path(), "3"});
        ASSERT_TRUE(child.waitForFinished(30000));
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        EXPECT_TRUE(out.endsWith("DONE\n")) << "the program goes on:\n" << out.toStdString();
        EXPECT_EQ(out.count("MESSAGE "), 1) << out.toStdString();
        EXPECT_TRUE(out.contains(path) && out.contains(QString::fromUtf8(c.reason)))
            << out.toStdString();
        EXPECT_EQ(fileText(path), before);
    }
}

// Qt once committed a half-written file when the last flush hit a full disk.
TEST(WriteFailure, AFullDiskIsNamedAndTheOldFileStays) {
    QTemporaryDir dir;
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k,mode=0755") != 0) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    const QString path = iniEdit::settingsPath(dir.path());
    EXPECT_TRUE(iniEdit::WriteSetting(dir.path(), "Volume", "V", "1").ok());
    QFile filler(dir.path() + "/filler");
    EXPECT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    while (filler.write(QByteArray(4096, 'x')) == 4096) {
    }
    const iniEdit::WriteResult r =
        iniEdit::WriteSetting(dir.path(), "Memo", "Long", QString(2000, u'm'));
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.reason().contains(path) && r.reason().contains("空き容量"))
        << r.reason().toStdString();
    EXPECT_EQ(fileText(path), "[Volume]\nV=1\n");
    ::umount2(mountPoint.constData(), MNT_DETACH);
}

} // namespace
