#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

// The loaders under test read files by name: each input becomes a file in a
// folder of this process's own, in memory where the system has /dev/shm.
inline QString fuzzDir() {
    // Never destroyed: the folder is removed at exit, after static objects go.
    static const QString* dir = [] {
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                                       : QDir::tempPath();
        auto* path = new QString(base + QStringLiteral("/vemba-fuzz-%1").arg(::getpid()));
        QDir().mkpath(*path);
        std::atexit([] { QDir(fuzzDir()).removeRecursively(); });
        return path;
    }();
    return *dir;
}

inline QString writeFuzzFile(const QString& name, const QByteArray& bytes) {
    const QString path = fuzzDir() + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size()) {
        std::abort();
    }
    return path;
}

// Stops the run naming the check that failed; libFuzzer keeps the input.
[[noreturn]] inline void fuzzCheckFailed(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}

#define FUZZ_CHECK(condition)                                                                      \
    ((condition) ? void() : fuzzCheckFailed(#condition, __FILE__, __LINE__))
