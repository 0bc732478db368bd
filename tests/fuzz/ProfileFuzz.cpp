#include "FuzzSupport.h"
#include "ProfileText.h"

#include <fuzzer/FuzzedDataProvider.h>

// A random file, then writes and reads of random entries: the entry written
// reads back, another entry reads as before, and a write changes at most the
// one line it replaces.

namespace {

using namespace vemba::profile;

QByteArray bytesOf(const std::string& s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

// Now and then a name from a line of the text, so that writes hit existing
// sections and keys, not only new ones.
QByteArray pickName(FuzzedDataProvider& in, const QByteArray& text) {
    if (text.isEmpty() || in.ConsumeBool()) {
        return bytesOf(in.ConsumeRandomLengthString(16));
    }
    const auto at = in.ConsumeIntegralInRange<qsizetype>(0, text.size() - 1);
    const qsizetype begin = text.lastIndexOf('\n', at) + 1;
    QByteArray line = text.mid(begin, text.indexOf('\n', at) - begin);
    line = line.mid(line.indexOf('[') + 1);
    for (const char end : {']', '='}) {
        if (const qsizetype cut = line.indexOf(end); cut >= 0) {
            line.truncate(cut);
        }
    }
    return line;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    QByteArray text = bytesOf(in.ConsumeRandomLengthString(4096));
    for (int op = 0; op < 8 && in.remaining_bytes() > 0; ++op) {
        const QByteArray section = pickName(in, text);
        const QByteArray key = pickName(in, text);
        const QByteArray value = bytesOf(in.ConsumeRandomLengthString(64));
        if (checkEntry(section, key, value) != NameProblem::None) {
            continue;
        }
        const Edit edit = entryEdit(text, section, key, value);
        FUZZ_CHECK(!text.mid(edit.at, edit.removed).contains('\n'));
        const QByteArray after = withEntry(text, section, key, value);
        FUZZ_CHECK(lookup(after, section, key) == value);
        const QByteArray otherSection = pickName(in, text);
        const QByteArray otherKey = pickName(in, text);
        if (trimmedBlanks(section).toLower() != trimmedBlanks(otherSection).toLower() ||
            trimmedBlanks(key).toLower() != trimmedBlanks(otherKey).toLower()) {
            FUZZ_CHECK(lookup(after, otherSection, otherKey) ==
                       lookup(text, otherSection, otherKey));
        }
        text = after;
    }
    return 0;
}
