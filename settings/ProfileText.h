#pragma once

#include <QByteArray>
#include <optional>

// The profile format on raw bytes: "[section]" lines, "key=value" entries.
// Names match without regard to ASCII case; blanks around names and values
// do not count; a value in enclosing double quotes reads without them. Every
// line that a change does not touch is kept byte for byte, line ending and
// encoding included.
namespace vemba::profile {

// The value of the first matching key in the first matching section, or
// nothing when the section or the key is missing.
std::optional<QByteArray> lookup(const QByteArray& text, const QByteArray& section,
                                 const QByteArray& key);

// A change of the text: `removed` bytes at `at` give way to `inserted`.
struct Edit {
    qsizetype at = 0;
    qsizetype removed = 0;
    QByteArray inserted;
};

// The change that sets the entry to value: the first matching entry's value is
// replaced where it stands, a missing key is added after the last entry of the
// section, a missing section is appended at the end. The entry must pass
// checkEntry(). A writer can write the text around it as it stands, without
// a second copy of the file.
Edit entryEdit(const QByteArray& text, const QByteArray& section, const QByteArray& key,
               const QByteArray& value);

// The text with entryEdit() applied.
QByteArray withEntry(const QByteArray& text, const QByteArray& section, const QByteArray& key,
                     const QByteArray& value);

enum class NameProblem {
    None,
    EmptySection,
    EmptyKey,
    LineBreak,          // CR, LF or NUL in a name or value would split or cut the line
    BracketInSection,   // "]" ends the section name
    EqualsInKey,        // "=" ends the key
    KeyLooksLikeHeader, // a key starting with "[" or ";" would read as a header or comment
};

// Whether a section, key and value can be written so that they read back.
NameProblem checkEntry(const QByteArray& section, const QByteArray& key, const QByteArray& value);

// Blanks that surround names and values and do not belong to them.
bool isBlank(char c);
QByteArray trimmedBlanks(const QByteArray& bytes);

} // namespace vemba::profile
