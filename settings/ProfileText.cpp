#include "ProfileText.h"

namespace vemba::profile {

namespace {

enum class Kind { Other, Section, Entry };

// One line of the file as offsets into the text; nothing is copied.
struct Line {
    qsizetype begin = 0;
    qsizetype contentEnd = 0; // before the line ending
    qsizetype end = 0;        // after the line ending
    Kind kind = Kind::Other;
    qsizetype nameBegin = 0, nameEnd = 0;   // section name or key, blanks removed
    qsizetype valueBegin = 0, valueEnd = 0; // entry value, blanks removed
};

// Editors on Windows like to start a UTF-8 file with a byte order mark; it
// must not hide the first section header.
constexpr char byteOrderMark[] = "\xEF\xBB\xBF";

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool sameName(const QByteArray& text, qsizetype begin, qsizetype end, const QByteArray& name) {
    if (end - begin != name.size()) {
        return false;
    }
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (asciiLower(text[begin + i]) != asciiLower(name[i])) {
            return false;
        }
    }
    return true;
}

// The first c in [begin, end), or end; never looks past the line.
qsizetype findIn(const QByteArray& text, char c, qsizetype begin, qsizetype end) {
    for (qsizetype i = begin; i < end; ++i) {
        if (text[i] == c) {
            return i;
        }
    }
    return end;
}

void trimRange(const QByteArray& text, qsizetype& begin, qsizetype& end) {
    while (begin < end && isBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(text[end - 1])) {
        --end;
    }
}

Line classify(const QByteArray& text, qsizetype begin, qsizetype contentEnd, qsizetype end) {
    Line line{begin, contentEnd, end};
    qsizetype p = begin;
    if (begin == 0 && text.startsWith(byteOrderMark)) {
        p += 3;
    }
    while (p < contentEnd && isBlank(text[p])) {
        ++p;
    }
    if (p == contentEnd || text[p] == ';') {
        return line;
    }
    if (text[p] == '[') {
        const qsizetype close = findIn(text, ']', p + 1, contentEnd);
        line.kind = Kind::Section;
        line.nameBegin = p + 1;
        line.nameEnd = close;
        trimRange(text, line.nameBegin, line.nameEnd);
        return line;
    }
    const qsizetype eq = findIn(text, '=', p, contentEnd);
    if (eq == contentEnd) {
        return line;
    }
    line.kind = Kind::Entry;
    line.nameBegin = p;
    line.nameEnd = eq;
    trimRange(text, line.nameBegin, line.nameEnd);
    line.valueBegin = eq + 1;
    line.valueEnd = contentEnd;
    trimRange(text, line.valueBegin, line.valueEnd);
    return line;
}

// The line that starts at begin, read in place: nothing is kept per line, so
// a file of many short lines costs no more than its bytes.
Line lineAt(const QByteArray& text, qsizetype begin) {
    const qsizetype nl = text.indexOf('\n', begin);
    qsizetype contentEnd = nl < 0 ? text.size() : nl;
    const qsizetype end = nl < 0 ? text.size() : nl + 1;
    if (nl >= 0 && contentEnd > begin && text[contentEnd - 1] == '\r') {
        --contentEnd;
    }
    return classify(text, begin, contentEnd, end);
}

// Where the entry would be: the first matching section and, inside it, the
// first matching key. Either may be missing.
struct Position {
    std::optional<Line> section;
    std::optional<Line> entry;
    Line lastEntryOrHeader;
};

Position locate(const QByteArray& text, const QByteArray& section, const QByteArray& key) {
    Position pos;
    for (qsizetype begin = 0; begin < text.size();) {
        const Line l = lineAt(text, begin);
        begin = l.end;
        if (!pos.section) {
            if (l.kind == Kind::Section && sameName(text, l.nameBegin, l.nameEnd, section)) {
                pos.section = l;
                pos.lastEntryOrHeader = l;
            }
            continue;
        }
        if (l.kind == Kind::Section) {
            break;
        }
        if (l.kind != Kind::Entry) {
            continue;
        }
        pos.lastEntryOrHeader = l;
        if (sameName(text, l.nameBegin, l.nameEnd, key)) {
            pos.entry = l;
            break;
        }
    }
    return pos;
}

QByteArray lineEnding(const QByteArray& text) {
    const qsizetype nl = text.indexOf('\n');
    return (nl > 0 && text[nl - 1] == '\r') ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
}

// A value that would lose blanks or quotes on the way back is written quoted.
QByteArray encodedValue(const QByteArray& value) {
    if (value.isEmpty()) {
        return value;
    }
    const bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    if (quoted || isBlank(value.front()) || isBlank(value.back())) {
        return '"' + value + '"';
    }
    return value;
}

} // namespace

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

QByteArray trimmedBlanks(const QByteArray& bytes) {
    qsizetype begin = 0, end = bytes.size();
    trimRange(bytes, begin, end);
    return bytes.mid(begin, end - begin);
}

std::optional<QByteArray> lookup(const QByteArray& text, const QByteArray& section,
                                 const QByteArray& key) {
    const Position pos = locate(text, trimmedBlanks(section), trimmedBlanks(key));
    if (!pos.entry) {
        return std::nullopt;
    }
    const Line& l = *pos.entry;
    qsizetype begin = l.valueBegin, end = l.valueEnd;
    if (end - begin >= 2 && text[begin] == '"' && text[end - 1] == '"') {
        ++begin;
        --end;
    }
    return text.mid(begin, end - begin);
}

Edit entryEdit(const QByteArray& text, const QByteArray& section, const QByteArray& key,
               const QByteArray& value) {
    const QByteArray sectionName = trimmedBlanks(section);
    const QByteArray keyName = trimmedBlanks(key);
    const QByteArray eol = lineEnding(text);
    const Position pos = locate(text, sectionName, keyName);

    if (pos.entry) {
        const Line& l = *pos.entry;
        return {l.valueBegin, l.contentEnd - l.valueBegin, encodedValue(value)};
    }
    const QByteArray entryLine = keyName + '=' + encodedValue(value) + eol;
    if (pos.section) {
        const Line& after = pos.lastEntryOrHeader;
        // The line we insert after may be the last one, without an ending.
        const QByteArray gap = after.contentEnd == after.end ? eol : QByteArray();
        return {after.end, 0, gap + entryLine};
    }
    const QByteArray gap = !text.isEmpty() && !text.endsWith('\n') ? eol : QByteArray();
    return {text.size(), 0, gap + '[' + sectionName + ']' + eol + entryLine};
}

QByteArray withEntry(const QByteArray& text, const QByteArray& section, const QByteArray& key,
                     const QByteArray& value) {
    const Edit edit = entryEdit(text, section, key, value);
    return QByteArray(text).replace(edit.at, edit.removed, edit.inserted);
}

NameProblem checkEntry(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    for (const QByteArray* bytes : {&section, &key, &value}) {
        if (bytes->contains('\n') || bytes->contains('\r') || bytes->contains('\0')) {
            return NameProblem::LineBreak;
        }
    }
    const QByteArray s = trimmedBlanks(section);
    const QByteArray k = trimmedBlanks(key);
    if (s.isEmpty()) {
        return NameProblem::EmptySection;
    }
    if (k.isEmpty()) {
        return NameProblem::EmptyKey;
    }
    if (s.contains(']')) {
        return NameProblem::BracketInSection;
    }
    if (k.contains('=')) {
        return NameProblem::EqualsInKey;
    }
    if (k.startsWith('[') || k.startsWith(';')) {
        return NameProblem::KeyLooksLikeHeader;
    }
    return NameProblem::None;
}

} // namespace vemba::profile
