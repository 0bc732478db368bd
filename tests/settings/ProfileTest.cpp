#include "Files.h"
#include "ProfileText.h"
#include "SettingsStore.h"
#include "iniEdit.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

namespace {

using namespace vemba::iniEdit;
using vemba::profile::lookup;
using vemba::profile::withEntry;

// The first matching section and key win, names match whatever the case,
// blanks around names and values do not count, and one pair of quotes goes.
TEST(Profile, ReadsTheFirstMatchingEntry) {
    const std::pair<QByteArray, std::optional<QByteArray>> cases[] = {
        {"\xEF\xBB\xBF[Volume]\r\n;V=1\r\nV=2\r\nV=3\r\n", "2"},
        {"[Volume]\nX=1\n[Volume]\nV=2\n", std::nullopt},
        {"[Volume]\nV\n", std::nullopt},
        {"  [  VOLUME  ]  \n \t v \t=\t a  b \t\n", "a  b"},
        {"[Volume]\nV=  \"\"x\"\"  \n", "\"x\""},
        {"[Volume]\nV=\"x\n", "\"x"},
    };
    for (const auto& [file, expected] : cases) {
        EXPECT_EQ(lookup(file, "Volume", "V"), expected) << file.toStdString();
    }
}

// A new key goes after the section's last entry, before comments; a new
// section at the end, in the file's line ending.
TEST(Profile, WritePutsTheEntryWhereItBelongs) {
    EXPECT_EQ(withEntry("[S]\nA=1\n;K=0\n[S]\nK=2\n", "S", "K", "9"),
              "[S]\nA=1\nK=9\n;K=0\n[S]\nK=2\n");
    EXPECT_EQ(withEntry("[A]\r\nX=1", "S", "K", "9"), "[A]\r\nX=1\r\n[S]\r\nK=9\r\n");
}

class IniFile : public testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return settingsPath(dir.path()); }
    void put(const QByteArray& text) { ASSERT_TRUE(writeFile(path(), text)); }
    QByteArray contents() const { return readFile(path()); }
};

TEST_F(IniFile, EveryValueReadsBackAsWrittenInOneEntryOrIsRefused) {
    EXPECT_EQ(ReadSetting(dir.path(), "S", "K"), "") << "no file yet";
    EXPECT_FALSE(QFile::exists(path())) << "reading must not create the file";
    put("[S]\nK=old\n[T]\nX=1\n");
    for (const char* value : {"  lead", "tail ", "\"x\"", "\"", "=;[x]", "値 with 空白"}) {
        ASSERT_TRUE(WriteSetting(dir.path(), "S", "K", QString::fromUtf8(value)).ok());
        EXPECT_EQ(ReadSetting(dir.path(), "S", "K"), QString::fromUtf8(value));
        EXPECT_EQ(ReadSetting(dir.path(), "T", "X"), "1");
        EXPECT_EQ(contents().count("K="), 1) << "one entry only";
    }
    // What would add a line or not read back is refused, with the file named.
    const QByteArray last = contents();
    for (const auto& [section, key, value] : {std::tuple{"S", "K", "2\n[Evil]"},
                                              {"S]", "K", "2"},
                                              {"S", "K=", "2"},
                                              {"S", "[K", "2"}}) {
        const vemba::Result r = WriteSetting(dir.path(), section, key, value);
        EXPECT_TRUE(!r.ok() && r.reason().contains(path())) << section << "/" << key;
    }
    EXPECT_EQ(contents(), last);
}

TEST_F(IniFile, LongValuesAreCutAt1023Bytes) {
    put("[Memo]\nA=" + QByteArray(1500, 'a') + "\nC=" + QByteArray(1022, 'c') + "あ\n");
    EXPECT_EQ(ReadSetting(dir.path(), "Memo", "A"), QString(1023, u'a'));
    // A character that does not fit goes whole rather than as a broken sequence.
    EXPECT_EQ(ReadSetting(dir.path(), "Memo", "C"), QString(1022, u'c'));
}

// Every byte but the written value stays, and the file's mode.
TEST_F(IniFile, AHandEditedFileSurvivesAWriteOfAnotherEntry) {
    const QByteArray before = "\xEF\xBB\xBF; 設定ファイル\r\n\r\n[position]\r\n"
                              "  TOP   =  -120  \r\nLeft=1500\r\n\r\n[独自]\r\n"
                              "メモ = Shift_JIS \x82\xa0\x82\xa2\r\nno equals sign here\r\n\t\r\n"
                              "[Volume]\r\nV = \"7\" \r\n; trailing comment";
    put(before);
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0640), 0);
    ASSERT_TRUE(WriteSetting(dir.path(), "VOLUME", "v", "3").ok());
    EXPECT_EQ(contents().toStdString(),
              QByteArray(before).replace("V = \"7\" \r\n", "V = 3\r\n").toStdString());
    EXPECT_EQ(QFileInfo(path()).permissions().toInt() & 0x0fff, 0x0640); // rw-r-----
}

// Up to the bound a file is read; one byte more and it is neither read nor
// written, and start-up says so once, naming the file and the bound.
TEST_F(IniFile, AFileOverTheBoundIsNeitherReadNorWritten) {
    const QByteArray entry = "[Volume]\nV=3\n";
    QByteArray text = QByteArray(kMaxFileBytes - entry.size(), '\n') + entry;
    put(text);
    EXPECT_EQ(ReadSetting(dir.path(), "Volume", "V"), "3");
    put(text.prepend('\n'));
    EXPECT_EQ(ReadSetting(dir.path(), "Volume", "V"), "");
    EXPECT_FALSE(WriteSetting(dir.path(), "Volume", "V", "4").ok());
    QStringList told;
    vemba::SettingsStore store(dir.path(), [&told](const QString& m) { told << m; });
    store.takeSnapshot();
    EXPECT_EQ(store.ReadSetting("Volume", "V"), "");
    store.WriteSetting("Volume", "V", "5");
    store.dropSnapshot();
    EXPECT_EQ(contents(), text);
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(path()) && told[0].contains("4 MiB")) << told[0].toStdString();
}

// Start-up's reads come from one reading of the file; the store's own
// writes bring it up to date with the file.
TEST_F(IniFile, ASnapshotIsReadOnceAndFollowsTheStoresWrites) {
    put("[A]\nK=1\n[B]\nK=1\n");
    vemba::SettingsStore store(dir.path());
    store.takeSnapshot();
    put("[A]\nK=2\n[B]\nK=2\n");
    EXPECT_EQ(store.ReadSetting("A", "K"), "1");
    store.WriteSetting("B", "K", "3");
    EXPECT_EQ(store.ReadSetting("A", "K"), "2");
    EXPECT_EQ(store.ReadSetting("B", "K"), "3");
}

} // namespace
