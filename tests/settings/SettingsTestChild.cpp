// The writer the failure tests run as another user, on a full disk or with a
// read-only program directory: a few writes through the store, printing every
// message it hands out and a last line once done. With "program" it is the
// store a program gets, and it first names the directory chosen and last
// reads the value back through a new store, as the next start would. With
// any other third word it writes keys of its own, [Race] <word><n>=<n>, for
// the test of writers running side by side.

#include "SettingsStore.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        return 2; // usage: DIR WRITES [program | KEY-PREFIX]
    }
    const bool program = argc == 4 && std::strcmp(argv[3], "program") == 0;
    const QString prefix = argc == 4 && !program ? QString(argv[3]) : QString();
    const auto print = [](const QString& message) {
        std::printf("MESSAGE %s\n", message.toUtf8().constData());
    };
    vemba::SettingsStore settings = program ? vemba::SettingsStore::forProgram(argv[1], print)
                                            : vemba::SettingsStore(argv[1], print);
    if (program) {
        std::printf("DIRECTORY %s\n", settings.directory().toUtf8().constData());
    }
    for (int i = 1; i <= std::atoi(argv[2]); ++i) {
        if (prefix.isEmpty()) {
            settings.WriteSetting("Volume", "V", QString::number(i));
        } else {
            settings.WriteSetting("Race", prefix + QString::number(i), QString::number(i));
        }
    }
    if (program) {
        const QString read =
            vemba::SettingsStore::forProgram(argv[1], {}).ReadSetting("Volume", "V");
        std::printf("READ %s\n", read.toUtf8().constData());
    }
    std::printf("DONE\n");
    return 0;
}
