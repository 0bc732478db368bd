#include "iniEdit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using namespace vemba::iniEdit;

class IniFile : public testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return SettingsPath(dir.path()); }

    void put(const QByteArray& text) {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray contents() const {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};

TEST_F(IniFile, MissingFileReadsEmptyAndFirstWriteCreatesOneEntry) {
    for (const char* key : {"Top", "Left"})
        EXPECT_EQ(ReadSetting(dir.path(), "Position", key), "");
    EXPECT_FALSE(QFile::exists(path())) << "reading must not create the file";

    EXPECT_TRUE(WriteSetting(dir.path(), "Sound1", "Active", "1").ok);
    EXPECT_EQ(contents(), "[Sound1]\nActive=1\n");
    EXPECT_EQ(ReadSetting(dir.path(), "Sound1", "Active"), "1");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "no temporary file left behind";
}

TEST_F(IniFile, RoundTripThroughTheFile) {
    const char* const entries[][3] = {{"Position", "Top", "-120"},
                                      {"Sound1", "Freq", "2"},
                                      {"Volume", "V", "10"},
                                      {"Memo", "Text", "蚊よけ"},
                                      {"Memo", "Padded", "  x  "}};
    for (const auto& e : entries)
        ASSERT_TRUE(WriteSetting(dir.path(), e[0], e[1], e[2]).ok);
    for (const auto& e : entries)
        EXPECT_EQ(ReadSetting(dir.path(), e[0], e[1]), QString::fromUtf8(e[2])) << e[1];
    EXPECT_EQ(ReadSetting(dir.path(), "Sound1", "Active"), "");
}

TEST_F(IniFile, EmptyValueReadsLikeAMissingOne) {
    put("[Position]\nTop=\nLeft=\"\"\n");
    EXPECT_EQ(ReadSetting(dir.path(), "Position", "Top"), "");
    EXPECT_EQ(ReadSetting(dir.path(), "Position", "Left"), "");
}

TEST_F(IniFile, LongValuesAreCutAt1023Bytes) {
    put("[Memo]\nA=" + QByteArray(1500, 'a') + "\nB=" + QByteArray(1023, 'b') +
        "\nC=" + QByteArray(1022, 'c') + "あい\n");
    EXPECT_EQ(ReadSetting(dir.path(), "Memo", "A"), QString(1023, u'a'));
    EXPECT_EQ(ReadSetting(dir.path(), "Memo", "B"), QString(1023, u'b'));
    // 1022 bytes and a three-byte character do not fit: the character goes
    // whole rather than as a broken sequence.
    EXPECT_EQ(ReadSetting(dir.path(), "Memo", "C"), QString(1022, u'c'));
}

TEST_F(IniFile, HandEditsBetweenWritesSurvive) {
    ASSERT_TRUE(WriteSetting(dir.path(), "Volume", "V", "5").ok);
    QByteArray text = contents();
    put(text + "; added by hand\r\n[Extra]\r\nKey = kept \r\n");
    ASSERT_TRUE(WriteSetting(dir.path(), "Volume", "V", "6").ok);
    EXPECT_EQ(contents(), "[Volume]\nV=6\n; added by hand\r\n[Extra]\r\nKey = kept \r\n");
}

TEST_F(IniFile, ReplacingKeepsOneEntryAndTheFileMode) {
    put("[Sound2]\r\nActive=1\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0640), 0);
    ASSERT_TRUE(WriteSetting(dir.path(), "Sound2", "Active", "0").ok);
    EXPECT_EQ(contents(), "[Sound2]\r\nActive=0\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(IniFile, FailedWritesSayWhyAndLeaveTheFileAlone) {
    const QString missing = dir.path() + "/gone";
    WriteResult r = WriteSetting(missing, "Volume", "V", "1");
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.reason.contains(SettingsPath(missing))) << r.reason.toStdString();
    EXPECT_TRUE(r.reason.contains("フォルダー")) << r.reason.toStdString();

    put("[Volume]\nV=1\n");
    const struct {
        const char *section, *key, *value, *reasonPart;
    } refused[] = {{"", "V", "2", "セクション名"},       {"Volume", "", "2", "キー名"},
                   {"Volume", "V", "2\n[Evil]", "改行"}, {"Vol]ume", "V", "2", "]"},
                   {"Volume", "V=W", "2", "="},          {"Volume", ";V", "2", ";"}};
    for (const auto& c : refused) {
        r = WriteSetting(dir.path(), c.section, c.key, c.value);
        EXPECT_FALSE(r.ok) << c.section << "/" << c.key;
        EXPECT_TRUE(r.reason.contains(path())) << r.reason.toStdString();
        EXPECT_TRUE(r.reason.contains(QString::fromUtf8(c.reasonPart))) << r.reason.toStdString();
    }
    EXPECT_EQ(contents(), "[Volume]\nV=1\n");
}

TEST_F(IniFile, DirectoryInTheFilesPlace) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("setting.ini"));
    EXPECT_EQ(ReadSetting(dir.path(), "Volume", "V"), "");
    const WriteResult r = WriteSetting(dir.path(), "Volume", "V", "1");
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.reason.contains(path()));
    EXPECT_TRUE(r.reason.contains("フォルダー")) << r.reason.toStdString();
    EXPECT_TRUE(QFileInfo(path()).isDir());
}

} // namespace
