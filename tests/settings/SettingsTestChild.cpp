// Helper process for the settings tests: a writer that can be killed at any
// moment, and a writer that runs under another user.

#include "SettingsStore.h"
#include "WriterRounds.h"
#include "iniEdit.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

using namespace vemba;

int writeNext(const QString& dir) {
    const auto step = test::nextStep(dir);
    if (!step)
        return 3;
    const test::EntryName& e = test::kEntries[step->entry];
    return iniEdit::WriteSetting(dir, e.section, e.key, test::roundValue(step->round)).ok ? 0 : 4;
}

// Writes until killed.
int loop(const QString& dir) {
    for (;;) {
        if (const int rc = writeNext(dir))
            return rc;
    }
}

// One write between two getppid() calls, which a tracer uses as markers.
int once(const QString& dir) {
    const auto step = test::nextStep(dir);
    if (!step)
        return 3;
    const test::EntryName& e = test::kEntries[step->entry];
    const QString value = test::roundValue(step->round);
    (void)getppid();
    const bool ok = iniEdit::WriteSetting(dir, e.section, e.key, value).ok;
    (void)getppid();
    return ok ? 0 : 4;
}

// Several writes through the store; prints every message it hands out.
int store(const QString& dir, int count) {
    SettingsStore settings(dir, [](const QString& message) {
        std::printf("MESSAGE %s\n", message.toUtf8().constData());
    });
    for (int i = 0; i < count; ++i)
        settings.WriteSetting("Volume", "V", QString::number(i));
    std::printf("DONE\n");
    return 0;
}

int writeOne(const QString& dir, const char* section, const char* key, const char* value) {
    const auto result = iniEdit::WriteSetting(dir, section, key, value);
    std::printf("%s\n", result.reason.toUtf8().constData());
    return result.ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && !std::strcmp(argv[1], "loop"))
        return loop(argv[2]);
    if (argc == 3 && !std::strcmp(argv[1], "once"))
        return once(argv[2]);
    if (argc == 4 && !std::strcmp(argv[1], "store"))
        return store(argv[2], std::atoi(argv[3]));
    if (argc == 6 && !std::strcmp(argv[1], "write"))
        return writeOne(argv[2], argv[3], argv[4], argv[5]);
    std::fprintf(stderr, "usage: %s loop|once DIR | store DIR N | write DIR SECTION KEY VALUE\n",
                 argv[0]);
    return 2;
}
