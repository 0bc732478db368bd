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

void putFile(const QString& path, const QByteArray& text, mode_t mode) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    f.close();
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

TEST(WriteFailure, TheStoreTellsTheFirstFailureOfItsLifeOnly) {
    QTemporaryDir dir;
    QStringList told;
    SettingsStore store(dir.path(), [&](const QString& message) { told << message; });
    const QString path = iniEdit::SettingsPath(dir.path());

    store.WriteSetting("Volume", "V", "1");
    EXPECT_TRUE(told.isEmpty()) << "a good write tells nothing";

    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir(dir.path()).mkdir("setting.ini"));
    for (const char* value : {"2", "3", "4"})
        store.WriteSetting("Volume", "V", value);
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(path)) << told[0].toStdString();
    EXPECT_TRUE(told[0].contains("フォルダー")) << told[0].toStdString();
    EXPECT_EQ(store.ReadSetting("Volume", "V"), "") << "the value is lost, not kept somewhere";

    // Writes work again once the obstacle is gone, and a new failure in the
    // same run stays silent.
    ASSERT_TRUE(QDir(path).removeRecursively());
    store.WriteSetting("Volume", "V", "5");
    EXPECT_EQ(store.ReadSetting("Volume", "V"), "5");
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir(dir.path()).mkdir("setting.ini"));
    store.WriteSetting("Volume", "V", "6");
    EXPECT_EQ(told.size(), 1);
}

TEST(WriteFailure, AStoreWithoutCallbackGoesOn) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("setting.ini"));
    SettingsStore store(dir.path());
    store.WriteSetting("Volume", "V", "1");
    store.WriteSetting("Volume", "V", "2");
    EXPECT_EQ(store.ReadSetting("Volume", "V"), "");
}

// Root may write anything, so the permission cases run the writer as nobody.
class AsNobody : public testing::Test {
protected:
    void SetUp() override {
        QProcess probe;
        probe.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "true"});
        if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit ||
            probe.exitCode() != 0)
            GTEST_SKIP() << "setpriv cannot drop to nobody here";
        ASSERT_TRUE(dir.isValid());
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    }

    struct Outcome {
        int exitCode = -1;
        QString output;
    };
    Outcome runChild(const QStringList& args) {
        QProcess child;
        child.start("setpriv", QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                           VEMBA_SETTINGS_CHILD} +
                                   args);
        EXPECT_TRUE(child.waitForFinished(30000));
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << "the writer must not crash";
        return {child.exitCode(), QString::fromUtf8(child.readAllStandardOutput())};
    }
    Outcome write(const char* value) {
        return runChild({"write", dir.path(), "Volume", "V", value});
    }

    QTemporaryDir dir;
    QString path() const { return iniEdit::SettingsPath(dir.path()); }
};

TEST_F(AsNobody, WritableFileAndDirectoryAreWritten) {
    putFile(path(), "; mine\n[Volume]\nV=1\n", 0666);
    const Outcome out = write("2");
    EXPECT_EQ(out.exitCode, 0) << out.output.toStdString();
    EXPECT_EQ(fileText(path()), "; mine\n[Volume]\nV=2\n");
}

TEST_F(AsNobody, RefusedWritesNameTheCauseAndKeepTheFile) {
    const struct {
        const char* what;
        mode_t dirMode;
        mode_t fileMode;
        const char* reasonPart;
    } cases[] = {
        {"read-only file", 0777, 0444, "読み取り専用"},
        {"read-only directory", 0755, 0666, "書き込む権限"},
        {"unreadable file", 0777, 0222, "読み取れない"},
    };
    const QByteArray before = "; mine\r\n[Volume]\r\nV=1\r\n[Other]\r\nX=y\r\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
        putFile(path(), before, c.fileMode);
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), c.dirMode), 0);

        const Outcome out = write("2");
        EXPECT_EQ(out.exitCode, 1);
        EXPECT_TRUE(out.output.contains(path())) << out.output.toStdString();
        EXPECT_TRUE(out.output.contains(QString::fromUtf8(c.reasonPart)))
            << out.output.toStdString();
        EXPECT_EQ(fileText(path()), before);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1)
            << "no temporary file left behind";
    }
}

TEST_F(AsNobody, ARunWithAReadOnlyFileGetsOneMessageAndFinishes) {
    putFile(path(), "[Volume]\nV=1\n", 0444);
    const Outcome out = runChild({"store", dir.path(), "5"});
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.output.count("MESSAGE "), 1) << out.output.toStdString();
    EXPECT_TRUE(out.output.contains("読み取り専用")) << out.output.toStdString();
    EXPECT_TRUE(out.output.endsWith("DONE\n")) << "the program goes on after the failure";
}

// A file system of a few pages, filled up, for the full-disk case.
class FullDisk : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        if (::mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", 0,
                    "size=64k,mode=0755") != 0)
            GTEST_SKIP() << "cannot mount a small file system here";
        mounted = true;
    }
    void TearDown() override {
        if (mounted)
            ::umount2(QFile::encodeName(dir.path()).constData(), MNT_DETACH);
    }
    void fill() {
        QFile filler(dir.path() + "/filler");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size()) {
        }
    }

    QTemporaryDir dir;
    bool mounted = false;
};

TEST_F(FullDisk, AFullDiskIsNamedAndTheOldFileStays) {
    const QString path = iniEdit::SettingsPath(dir.path());
    ASSERT_TRUE(iniEdit::WriteSetting(dir.path(), "Volume", "V", "1").ok);
    fill();

    const iniEdit::WriteResult r =
        iniEdit::WriteSetting(dir.path(), "Memo", "Long", QString(2000, u'm'));
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.reason.contains(path)) << r.reason.toStdString();
    EXPECT_TRUE(r.reason.contains("空き容量")) << r.reason.toStdString();
    EXPECT_EQ(fileText(path), "[Volume]\nV=1\n");

    ASSERT_TRUE(QFile::remove(dir.path() + "/filler"));
    EXPECT_TRUE(iniEdit::WriteSetting(dir.path(), "Volume", "V", "2").ok);
    EXPECT_EQ(iniEdit::ReadSetting(dir.path(), "Volume", "V"), "2");
}

} // namespace
