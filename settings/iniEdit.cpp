#include "iniEdit.h"

#include "ProfileText.h"
#include "WriteFailure.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vemba::iniEdit {

namespace {

// What the profile functions could hand back: 1023 bytes and a terminator.
constexpr qsizetype maxValueBytes = 1023;

// Cuts at most maxValueBytes without splitting a UTF-8 sequence, so the
// last character is whole rather than a replacement mark.
QByteArray clippedValue(QByteArray value) {
    if (value.size() <= maxValueBytes) {
        return value;
    }
    qsizetype cut = maxValueBytes;
    while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    value.truncate(cut);
    return value;
}

struct FileText {
    QByteArray text;
    WriteResult failure;
};

// The current file, or an empty text when there is none yet. A file that is
// there but cannot be read fails: writing it would drop the entries we could
// not see.
FileText currentText(const QString& path, const QString& programDir) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        if (!QFileInfo(programDir).isDir()) {
            return {{}, failure::missingDirectory(path, programDir)};
        }
        return {};
    }
    if (info.isDir()) {
        return {{}, failure::directoryInPlace(path)};
    }
    if (!info.isFile()) {
        return {{}, failure::notAFile(path)};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {{}, failure::unreadable(path, file.errorString())};
    }
    FileText result;
    result.text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return {{}, failure::unreadable(path, file.errorString())};
    }
    return result;
}

// The rename is only durable once the directory entry is on disk too.
void syncDirectory(const QString& dir) {
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    ::fsync(fd);
    ::close(fd);
}

// QSaveFile keeps the mode but not the owner: a file handed to a shared
// group would come back as ours. Keep what we may set; a group we are not
// in is beyond us and no reason to fail the write.
void keepOwnership(const QString& path, int fd) {
    struct stat old {};
    if (fd < 0 || ::stat(QFile::encodeName(path).constData(), &old) != 0) {
        return;
    }
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    }
}

} // namespace

QString settingsPath(const QString& programDir) {
    return programDir + QStringLiteral("/setting.ini");
}

QString settingsDirectory(const QString& programDir, const QProcessEnvironment& environment) {
    // access() asks the kernel, so a read-only mount counts as read-only even
    // for root, while root may write a directory whose mode denies it.
    if (::access(QFile::encodeName(programDir).constData(), W_OK | X_OK) == 0) {
        return programDir;
    }
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base
    // directory rules say.
    QString base = environment.value(QStringLiteral("XDG_CONFIG_HOME"));
    if (!base.startsWith(u'/')) {
        const QString home = environment.value(QStringLiteral("HOME"));
        if (!home.startsWith(u'/')) {
            return programDir;
        }
        base = home + QStringLiteral("/.config");
    }
    return base + QStringLiteral("/vemba-pc");
}

QString ReadSetting(const QString& programDir, const QString& section, const QString& key) {
    const QString path = settingsPath(programDir);
    if (!QFileInfo(path).isFile()) {
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const auto value = profile::lookup(file.readAll(), section.toLocal8Bit(), key.toLocal8Bit());
    if (!value) {
        return {};
    }
    return QString::fromLocal8Bit(clippedValue(*value));
}

WriteResult WriteSetting(const QString& programDir, const QString& section, const QString& key,
                         const QString& value) {
    const QString path = settingsPath(programDir);
    const QByteArray sectionBytes = section.toLocal8Bit();
    const QByteArray keyBytes = key.toLocal8Bit();
    const QByteArray valueBytes = value.toLocal8Bit();
    const auto problem = profile::checkEntry(sectionBytes, keyBytes, valueBytes);
    if (problem != profile::NameProblem::None) {
        return failure::badEntry(path, problem);
    }

    const FileText current = currentText(path, programDir);
    if (!current.failure.ok()) {
        return current.failure;
    }
    const QByteArray text = profile::withEntry(current.text, sectionBytes, keyBytes, valueBytes);

    // QSaveFile writes a temporary file beside the old one, syncs it and
    // renames it over: the file on disk is always the old or the new one. It
    // refuses a file we may not write and keeps the file's mode. Unbuffered,
    // because Qt 6.4 commits a buffered file even when the final flush runs
    // out of disk space, which would replace the settings with an empty file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return failure::cannotCreate(path, programDir, file.errorString());
    }
    keepOwnership(path, file.handle());
    if (file.write(text) != text.size() || !file.commit()) {
        return failure::cannotFinish(path, programDir, text.size(), file.errorString());
    }
    syncDirectory(programDir);
    return {};
}

} // namespace vemba::iniEdit
