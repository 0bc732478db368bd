// The writer the failure tests run as another user or on a full disk: a few
// writes through the store, printing every message it hands out and a last
// line once done.

#include "SettingsStore.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        return 2; // usage: DIR WRITES
    }
    vemba::SettingsStore settings(argv[1], [](const QString& message) {
        std::printf("MESSAGE %s\n", message.toUtf8().constData());
    });
    for (int i = 1; i <= std::atoi(argv[2]); ++i) {
        settings.WriteSetting("Volume", "V", QString::number(i));
    }
    std::printf("DONE\n");
    return 0;
}
