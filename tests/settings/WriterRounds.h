#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The model shared by the killed writer and the test that checks after it.
// The writer stores round r into the ten entries in their order, so at any
// moment the first j entries hold round R and the rest round R-1. A torn,
// lost or half-applied write breaks that pattern or a value's checksum.
namespace vemba::test {

struct EntryName {
    const char* section;
    const char* key;
};

inline constexpr EntryName kEntries[] = {
    {"Position", "Top"},  {"Position", "Left"}, {"Sound1", "Active"}, {"Sound1", "Freq"},
    {"Sound2", "Active"}, {"Sound2", "Freq"},   {"Sound3", "Active"}, {"Sound3", "Freq"},
    {"WaveForm", "Form"}, {"Volume", "V"},
};
inline constexpr int kEntryCount = int(std::size(kEntries));

// A long value that carries its round twice, so a torn one cannot pass.
QString roundValue(int round);
std::optional<int> roundOf(const QString& value);

struct Step {
    int round = 0;
    int entry = 0;
};

// The write that comes next, read from the file; nothing when the file does
// not hold the pattern.
std::optional<Step> nextStep(const QString& programDir);

// A hand-edited file (CRLF, comments, odd spacing, a foreign section,
// non-ASCII text) holding round 0 in every entry.
QByteArray seedText();

// The file with the values of our entries cut off: what must never change.
QByteArray skeleton(const QByteArray& text);

} // namespace vemba::test
