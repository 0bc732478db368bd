// vemba-tonegen <directory>: writes the program's tone files into the
// directory. Run by the build; prints nothing unless something fails.
#include "ToneFile.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '\0') {
        std::fprintf(stderr, "usage: vemba-tonegen <directory>\n");
        return 2;
    }
    try {
        const auto errors = vemba::tones::writeToneSet(argv[1]);
        for (const auto& error : errors) {
            std::fprintf(stderr, "vemba-tonegen: %s\n", error.c_str());
        }
        return errors.empty() ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vemba-tonegen: %s\n", e.what());
        return 1;
    }
}
