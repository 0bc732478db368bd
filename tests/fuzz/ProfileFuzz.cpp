#include "FuzzSupport.h"
#include "ProfileText.h"
#include "iniEdit.h"

#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

// A random file, then writes and reads of random entries: the entry written
// reads back, every other entry reads as before, and no line but the
// entry's own changes by a byte.

namespace {

using namespace vemba;

QByteArray bytesOf(const std::string& s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

// A name taken from a line of the text now and then, so that writes hit
// existing sections and keys, not only new ones.
QByteArray pickName(FuzzedDataProvider& in, const QByteArray& text) {
    if (text.isEmpty() || in.ConsumeBool()) {
        return bytesOf(in.ConsumeRandomLengthString(16));
    }
    const auto at = in.ConsumeIntegralInRange<qsizetype>(0, text.size() - 1);
    const qsizetype begin = text.lastIndexOf('\n', at) + 1;
    qsizetype end = text.indexOf('\n', at);
    QByteArray line = text.mid(begin, (end < 0 ? text.size() : end) - begin);
    if (const qsizetype open = line.indexOf('['); open >= 0) {
        line = line.mid(open + 1);
        line.truncate(line.indexOf(']') < 0 ? line.size() : line.indexOf(']'));
    } else if (const qsizetype eq = line.indexOf('='); eq >= 0) {
        line.truncate(eq);
    }
    return in.ConsumeBool() ? line.toUpper() : line;
}

bool sameEntry(const QByteArray& s1, const QByteArray& k1, const QByteArray& s2,
               const QByteArray& k2) {
    return profile::trimmedBlanks(s1).toLower() == profile::trimmedBlanks(s2).toLower() &&
           profile::trimmedBlanks(k1).toLower() == profile::trimmedBlanks(k2).toLower();
}

// The bytes that differ between before and after lie inside one line of
// before, after the "=" of an entry that was there; an entry that was not
// there is only added.
void requireOneLineChanged(const QByteArray& before, const QByteArray& after, bool existed) {
    if (before == after) {
        return;
    }
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype front = 0;
    while (front < shorter && before[front] == after[front]) {
        ++front;
    }
    qsizetype back = 0;
    while (back < shorter - front &&
           before[before.size() - 1 - back] == after[after.size() - 1 - back]) {
        ++back;
    }
    const QByteArray removed = before.mid(front, before.size() - front - back);
    if (!existed) {
        FUZZ_CHECK(removed.isEmpty());
        return;
    }
    FUZZ_CHECK(!removed.contains('\n'));
    const qsizetype lineStart = before.lastIndexOf('\n', front - 1) + 1;
    FUZZ_CHECK(before.mid(lineStart, front - lineStart).contains('='));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    QByteArray text = bytesOf(in.ConsumeRandomLengthString(4096));
    const QByteArray original = text;
    for (int op = 0; op < 8 && in.remaining_bytes() > 0; ++op) {
        const QByteArray section = pickName(in, text);
        const QByteArray key = pickName(in, text);
        if (in.ConsumeBool()) {
            (void)profile::lookup(text, section, key);
            continue;
        }
        const QByteArray value = bytesOf(in.ConsumeRandomLengthString(64));
        if (profile::checkEntry(section, key, value) != profile::NameProblem::None) {
            continue;
        }
        const QByteArray after = profile::withEntry(text, section, key, value);
        FUZZ_CHECK(profile::lookup(after, section, key) == value);
        requireOneLineChanged(text, after, profile::lookup(text, section, key).has_value());
        for (int k = 0; k < 3; ++k) {
            const QByteArray otherSection = pickName(in, text);
            const QByteArray otherKey = pickName(in, text);
            if (!sameEntry(section, key, otherSection, otherKey)) {
                FUZZ_CHECK(profile::lookup(after, otherSection, otherKey) ==
                           profile::lookup(text, otherSection, otherKey));
            }
        }
        text = after;
    }

    // The same through the file: the settings file takes exactly the edit,
    // and the value reads back.
    const QString section = QString::fromUtf8(pickName(in, original));
    const QString key = QString::fromUtf8(pickName(in, original));
    const QString value = QString::fromUtf8(bytesOf(in.ConsumeRandomLengthString(64)));
    const QString path = writeFuzzFile(QStringLiteral("setting.ini"), original);
    const bool written = iniEdit::WriteSetting(fuzzDir(), section, key, value).ok();
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    const QByteArray stored = file.readAll();
    if (profile::checkEntry(section.toUtf8(), key.toUtf8(), value.toUtf8()) !=
        profile::NameProblem::None) {
        FUZZ_CHECK(!written && stored == original);
        return 0;
    }
    FUZZ_CHECK(written);
    FUZZ_CHECK(stored ==
               profile::withEntry(original, section.toUtf8(), key.toUtf8(), value.toUtf8()));
    FUZZ_CHECK(iniEdit::ReadSetting(fuzzDir(), section, key) == value);
    return 0;
}
