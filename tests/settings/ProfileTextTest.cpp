#include "ProfileText.h"

#include <gtest/gtest.h>

namespace {

using vemba::profile::checkEntry;
using vemba::profile::lookup;
using vemba::profile::NameProblem;
using vemba::profile::withEntry;

struct LookupCase {
    const char* what;
    QByteArray file;
    const char* section;
    const char* key;
    std::optional<QByteArray> expected;
};

class Lookup : public testing::TestWithParam<LookupCase> {};

TEST_P(Lookup, FindsTheFirstMatchingEntry) {
    const LookupCase& c = GetParam();
    EXPECT_EQ(lookup(c.file, c.section, c.key), c.expected) << c.what;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Profile, Lookup,
    testing::Values(
        LookupCase{"plain", "[Volume]\nV=7\n", "Volume", "V", "7"},
        LookupCase{"empty file", "", "Volume", "V", std::nullopt},
        LookupCase{"missing key", "[Volume]\nW=7\n", "Volume", "V", std::nullopt},
        LookupCase{"missing section", "[Other]\nV=7\n", "Volume", "V", std::nullopt},
        LookupCase{"key of another section", "[A]\nV=1\n[Volume]\nX=2\n", "Volume", "V", std::nullopt},
        LookupCase{"entry before any section", "V=1\n[Volume]\n", "Volume", "V", std::nullopt},
        LookupCase{"empty value", "[Volume]\nV=\n", "Volume", "V", ""},
        LookupCase{"no final line ending", "[Volume]\nV=7", "Volume", "V", "7"},
        LookupCase{"CRLF", "[Volume]\r\nV=7\r\n", "Volume", "V", "7"},
        // Duplicates: the first section and the first key win.
        LookupCase{"duplicate key", "[Volume]\nV=1\nV=2\n", "Volume", "V", "1"},
        LookupCase{"duplicate section", "[Volume]\nV=1\n[Volume]\nV=2\n", "Volume", "V", "1"},
        LookupCase{"key only in the second copy", "[Volume]\nX=1\n[Volume]\nV=2\n", "Volume", "V", std::nullopt},
        // Blanks and quotes.
        LookupCase{"blanks around everything", "  [  Volume  ]  \n \t V \t=\t 7 \t\n", "Volume", "V", "7"},
        LookupCase{"blanks inside the value stay", "[S]\nK= a  b \n", "S", "K", "a  b"},
        LookupCase{"quotes stripped", "[S]\nK=\"  x  \"\n", "S", "K", "  x  "},
        LookupCase{"quotes stripped after blanks", "[S]\nK=  \"x\"  \n", "S", "K", "x"},
        LookupCase{"only one pair stripped", "[S]\nK=\"\"x\"\"\n", "S", "K", "\"x\""},
        LookupCase{"lone quote kept", "[S]\nK=\"x\n", "S", "K", "\"x"},
        LookupCase{"single quote char kept", "[S]\nK=\"\n", "S", "K", "\""},
        LookupCase{"empty quotes", "[S]\nK=\"\"\n", "S", "K", ""},
        LookupCase{"second = belongs to the value", "[S]\nK=a=b\n", "S", "K", "a=b"},
        LookupCase{"blank key name trimmed in request", "[S]\nK=1\n", " S ", " K ", "1"},
        // Case-insensitive names.
        LookupCase{"case of section and key", "[VOLUME]\nv=3\n", "Volume", "V", "3"},
        LookupCase{"case of request", "[Sound1]\nActive=1\n", "sOUND1", "aCTIVE", "1"},
        // Lines that are no entry.
        LookupCase{"line without =", "[Volume]\nV\n", "Volume", "V", std::nullopt},
        LookupCase{"comment", "[Volume]\n;V=1\nV=2\n", "Volume", "V", "2"},
        LookupCase{"header without ]", "[Volume\nV=5\n", "Volume", "V", "5"},
        LookupCase{"text after ]", "[Volume] ; note\nV=5\n", "Volume", "V", "5"},
        LookupCase{"byte order mark", "\xEF\xBB\xBF[Volume]\nV=4\n", "Volume", "V", "4"},
        LookupCase{"non-ASCII value", "[S]\nK=音量\n", "S", "K", "音量"}));
// clang-format on

struct WriteCase {
    const char* what;
    QByteArray before;
    const char* section;
    const char* key;
    QByteArray value;
    QByteArray after;
};

class Write : public testing::TestWithParam<WriteCase> {};

TEST_P(Write, ChangesOnlyTheEntry) {
    const WriteCase& c = GetParam();
    const QByteArray written = withEntry(c.before, c.section, c.key, c.value);
    EXPECT_EQ(written.toStdString(), c.after.toStdString()) << c.what;
    EXPECT_EQ(lookup(written, c.section, c.key), c.value) << c.what << ": reads back";
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Profile, Write,
    testing::Values(
        WriteCase{"first write", "", "Sound1", "Active", "1", "[Sound1]\nActive=1\n"},
        WriteCase{"replace in place", "[Sound2]\nActive=1\nFreq=2\n", "Sound2", "Active", "0", "[Sound2]\nActive=0\nFreq=2\n"},
        WriteCase{"replace keeps spelling and spacing", "[SOUND2]\n  active = 1  \n", "Sound2", "Active", "0", "[SOUND2]\n  active = 0\n"},
        WriteCase{"replace the first duplicate", "[S]\nK=1\nK=2\n[S]\nK=3\n", "S", "K", "9", "[S]\nK=9\nK=2\n[S]\nK=3\n"},
        WriteCase{"replace a quoted value", "[S]\nK=\"a\"\r\n", "S", "K", "b", "[S]\nK=b\r\n"},
        WriteCase{"replace an empty value", "[S]\nK=\nL=1\n", "S", "K", "5", "[S]\nK=5\nL=1\n"},
        WriteCase{"new key after the last entry, before blank lines", "[S]\nA=1\n; note\nB=2\n\n\n[T]\nC=3\n", "S", "K", "v", "[S]\nA=1\n; note\nB=2\nK=v\n\n\n[T]\nC=3\n"},
        WriteCase{"new key into an empty section", "[S]\n\n[T]\n", "s", "K", "v", "[S]\nK=v\n\n[T]\n"},
        WriteCase{"new key into the first of two sections", "[S]\nA=1\n[S]\nK=2\n", "S", "K", "v", "[S]\nA=1\nK=v\n[S]\nK=2\n"},
        WriteCase{"new key after a last line without ending", "[S]\nA=1", "S", "K", "v", "[S]\nA=1\nK=v\n"},
        WriteCase{"new section keeps CRLF", "[A]\r\nX=1\r\n", "B", "K", "v", "[A]\r\nX=1\r\n[B]\r\nK=v\r\n"},
        WriteCase{"new section after a last line without ending", "[A]\r\nX=1", "B", "K", "v", "[A]\r\nX=1\r\n[B]\r\nK=v\r\n"},
        WriteCase{"names written trimmed", "", " S ", " K ", "v", "[S]\nK=v\n"},
        WriteCase{"blanks around a value are quoted", "[S]\nK=1\n", "S", "K", " x ", "[S]\nK=\" x \"\n"},
        WriteCase{"enclosing quotes are quoted", "", "S", "K", "\"q\"", "[S]\nK=\"\"q\"\"\n"},
        WriteCase{"empty value", "[S]\nK=1\n", "S", "K", "", "[S]\nK=\n"},
        WriteCase{"non-ASCII kept as bytes", "[S]\nK=\xff\xfe\n", "S", "L", "\x82\xa0", "[S]\nK=\xff\xfe\nL=\x82\xa0\n"}));
// clang-format on

// A file edited by hand keeps every byte except the value that is written.
TEST(ProfileHandEdited, SurvivesAWriteOfAnotherEntry) {
    const QByteArray before = "\xEF\xBB\xBF; 設定ファイル\r\n"
                              "\r\n"
                              "[position]\r\n"
                              "  TOP   =  -120  \r\n"
                              "Left=1500\r\n"
                              "\r\n"
                              "[独自]\r\n"
                              "メモ = Shift_JIS \x82\xa0\x82\xa2\r\n"
                              "no equals sign here\r\n"
                              "\t\r\n"
                              "[Volume]\r\n"
                              "V = \"7\" \r\n"
                              "; trailing comment";
    QByteArray expected = before;
    expected.replace("V = \"7\" \r\n", "V = 3\r\n");
    EXPECT_EQ(withEntry(before, "VOLUME", "v", "3").toStdString(), expected.toStdString());

    expected = before;
    expected.replace("  TOP   =  -120  \r\n", "  TOP   =  15\r\n");
    EXPECT_EQ(withEntry(before, "Position", "Top", "15").toStdString(), expected.toStdString());
}

TEST(ProfileRoundTrip, EveryValueReadsBackAsWritten) {
    const QByteArray values[] = {"0",     "1",   "-120",         "1500", "a b",  "  lead",
                                 "tail ", "\"",  "\"x",          "x\"",  "\"\"", "=",
                                 ";x",    "[x]", "値 with 空白", "\t",   " \" "};
    QByteArray text = "[S]\nK=old\n[T]\nX=1\n";
    for (const QByteArray& value : values) {
        text = withEntry(text, "S", "K", value);
        EXPECT_EQ(lookup(text, "S", "K"), value) << value.toStdString();
        EXPECT_EQ(lookup(text, "T", "X"), QByteArray("1"));
        EXPECT_EQ(text.count("K="), 1) << "one entry only";
    }
}

TEST(ProfileNames, UnwritableNamesAndValuesAreRefused) {
    struct Case {
        QByteArray section, key, value;
        NameProblem expected;
    } const cases[] = {
        {"S", "K", "v", NameProblem::None},
        {"Sound 1", "My Key", "a=b;c", NameProblem::None},
        {"", "K", "v", NameProblem::EmptySection},
        {"  ", "K", "v", NameProblem::EmptySection},
        {"S", " ", "v", NameProblem::EmptyKey},
        {"S", "K", "a\nb", NameProblem::LineBreak},
        {"S", "K", "a\rb", NameProblem::LineBreak},
        {"S", "K", QByteArray("a\0b", 3), NameProblem::LineBreak},
        {"S\n", "K", "v", NameProblem::LineBreak},
        {"S", "K\n", "v", NameProblem::LineBreak},
        {"a]b", "K", "v", NameProblem::BracketInSection},
        {"S", "a=b", "v", NameProblem::EqualsInKey},
        {"S", "[K", "v", NameProblem::KeyLooksLikeHeader},
        {"S", ";K", "v", NameProblem::KeyLooksLikeHeader},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(checkEntry(c.section, c.key, c.value), c.expected)
            << c.section.toStdString() << "/" << c.key.toStdString();
    }
}

} // namespace
