#pragma once

#include <QFile>
#include <QString>
#include <dlfcn.h>

namespace vemba::audio {

// The entry function `name` of the module at `path`, loaded for the rest of
// the process: its code may run as long as the process does. Null, with the
// loader's reason in `why`, when either cannot be found.
inline void* moduleEntry(const QString& path, const char* name, QString& why) {
    void* module = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    void* entry = module != nullptr ? dlsym(module, name) : nullptr;
    if (entry == nullptr) {
        const char* error = dlerror();
        why = QString::fromLocal8Bit(error != nullptr ? error : "?");
    }
    return entry;
}

} // namespace vemba::audio
