#include "iniEdit.h"

#include "ProfileText.h"
#include "WriteFailure.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
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

using failure::ReadTrouble;

struct FileText {
    QByteArray text;
    ReadTrouble trouble = ReadTrouble::None;
    QString detail;
};

// The current file, or an empty text when there is none yet. A file that is
// there but cannot be read is a trouble: writing it would drop the entries
// we could not see. So is one over the bound, checked before it is read.
FileText currentText(const QString& path, const QString& programDir) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        if (!QFileInfo(programDir).isDir()) {
            return {{}, ReadTrouble::MissingDirectory, {}};
        }
        return {};
    }
    if (info.isDir()) {
        return {{}, ReadTrouble::DirectoryInPlace, {}};
    }
    if (!info.isFile()) {
        return {{}, ReadTrouble::NotAFile, {}};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {{}, ReadTrouble::Unreadable, file.errorString()};
    }
    if (file.size() > kMaxFileBytes) {
        return {{}, ReadTrouble::TooLarge, {}};
    }
    FileText result;
    result.text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return {{}, ReadTrouble::Unreadable, file.errorString()};
    }
    // It may have grown since its size was asked.
    if (result.text.size() > kMaxFileBytes) {
        return {{}, ReadTrouble::TooLarge, {}};
    }
    return result;
}

std::function<int(int)>& syncForTesting() {
    static std::function<int(int)> sync;
    return sync;
}

int syncData(int fd) {
    return syncForTesting() ? syncForTesting()(fd) : ::fdatasync(fd);
}

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The rename is only durable once the directory entry is on disk too. Empty
// when it is, else why not.
QString syncDirectory(const QString& dir) {
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errnoText(errno);
    }
    const int result = syncForTesting() ? syncForTesting()(fd) : ::fsync(fd);
    const int error = errno;
    ::close(fd);
    return result == 0 ? QString() : errnoText(error);
}

// QSaveFile keeps the mode but not the owner: a file handed to a shared
// group would come back as ours. Keep what we may set; a group we are not
// in is beyond us and no reason to fail the write.
void keepOwnership(const QString& path, int fd) {
    struct stat old {};
    if (fd < 0 || ::stat(QFile::encodeName(path).constData(), &old) != 0) {
        return;
    }
    if (::fchown(fd, old.st_uid, old.st_gid) == 0) {
        return;
    }
    [[maybe_unused]] const int groupOnly = ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
}

// The file a write replaces, as QSaveFile finds it: a symbolic link is
// followed to its target, which is rewritten beside itself while the link
// stays.
QString replacedFile(const QString& path) {
    QFileInfo info(path);
    for (int depth = 0; depth < 128 && info.isSymLink(); ++depth) {
        info.setFile(info.symLinkTarget());
    }
    return info.isSymLink() ? path : info.filePath();
}

// Keeps the read-modify-write of every writer of the file, in this process
// or another, to itself: two writers that read the same old text would
// otherwise each rename their own new one over it, and the later would drop
// the earlier one's entry. The lock is the kernel's (flock) on a file beside
// the settings, so it goes with a writer that is killed and never blocks
// the next one.
class WriteLock {
public:
    explicit WriteLock(const QString& file) {
        const QFileInfo info(file);
        const QByteArray name =
            QFile::encodeName(info.path() + QStringLiteral("/.") + info.fileName() + ".lock");
        m_fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (m_fd < 0) { // made by another user
            m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        }
    }
    ~WriteLock() {
        if (m_fd >= 0) {
            ::close(m_fd); // and the lock with it
        }
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

    // False only when another writer kept it for a whole second, far longer
    // than a write takes: a stopped process must not freeze the window.
    // Where no lock file can be made the folder takes no new file either,
    // and the write fails on its own.
    bool acquire() {
        constexpr int kWaitMs = 1000;
        constexpr int kStepMs = 5;
        for (int waited = 0; m_fd >= 0 && waited < kWaitMs; waited += kStepMs) {
            if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK) {
                return true;
            }
            ::usleep(kStepMs * 1000);
        }
        return m_fd < 0;
    }

private:
    int m_fd = -1;
};

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

QString lookupSetting(const QByteArray& text, const QString& section, const QString& key) {
    const auto value = profile::lookup(text, section.toLocal8Bit(), key.toLocal8Bit());
    return value ? QString::fromLocal8Bit(clippedValue(*value)) : QString();
}

Snapshot readSnapshot(const QString& programDir) {
    const QString path = settingsPath(programDir);
    FileText current = currentText(path, programDir);
    Snapshot snapshot;
    snapshot.text = std::move(current.text);
    // A folder not made yet holds no settings yet.
    if (current.trouble != ReadTrouble::None && current.trouble != ReadTrouble::MissingDirectory) {
        snapshot.problem = failure::startUpCannotRead(path, current.trouble, current.detail);
        snapshot.tooLarge = current.trouble == ReadTrouble::TooLarge;
    }
    return snapshot;
}

QString ReadSetting(const QString& programDir, const QString& section, const QString& key) {
    return lookupSetting(readSnapshot(programDir).text, section, key);
}

void setSyncForTesting(std::function<int(int fd)> sync) {
    syncForTesting() = std::move(sync);
}

Result WriteSetting(const QString& programDir, const QString& section, const QString& key,
                    const QString& value, QByteArray* written) {
    const QString path = settingsPath(programDir);
    const QByteArray sectionBytes = section.toLocal8Bit();
    const QByteArray keyBytes = key.toLocal8Bit();
    const QByteArray valueBytes = value.toLocal8Bit();
    const auto problem = profile::checkEntry(sectionBytes, keyBytes, valueBytes);
    if (problem != profile::NameProblem::None) {
        return failure::badEntry(path, problem);
    }
    // The folder where the new file is made and renamed: the link's target's.
    const QString dir = QFileInfo(replacedFile(path)).path();

    WriteLock lock(replacedFile(path));
    if (!lock.acquire()) {
        return failure::busy(path);
    }
    FileText current = currentText(path, programDir);
    if (current.trouble != ReadTrouble::None) {
        return failure::cannotRead(path, programDir, current.trouble, current.detail);
    }
    const profile::Edit edit = profile::entryEdit(current.text, sectionBytes, keyBytes, valueBytes);
    const qint64 head = edit.at;
    const qint64 tail = current.text.size() - edit.at - edit.removed;

    // QSaveFile writes a temporary file beside the old one and renames it
    // over: the file on disk is always the old or the new one. It refuses a
    // file we may not write and keeps the file's mode. Unbuffered, because
    // Qt 6.4 commits a buffered file even when the final flush runs out of
    // disk space, which would replace the settings with an empty file. The
    // text around the change is written from the old text as it stands.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return failure::cannotCreate(path, dir, file.errorString());
    }
    keepOwnership(path, file.handle());
    const qint64 size = head + edit.inserted.size() + tail;
    if (file.write(current.text.constData(), head) != head ||
        file.write(edit.inserted) != edit.inserted.size() ||
        file.write(current.text.constData() + head + edit.removed, tail) != tail) {
        return failure::cannotFinish(path, dir, size, file.errorString());
    }
    // QSaveFile syncs too but ignores a failure, and a failed sync must not
    // replace good settings with data that never reached the disk: the
    // temporary file goes and the old one stays.
    if (syncData(file.handle()) != 0) {
        const QString detail = errnoText(errno);
        file.cancelWriting();
        return failure::cannotFinish(path, dir, size, detail);
    }
    if (!file.commit()) {
        return failure::cannotFinish(path, dir, size, file.errorString());
    }
    if (const QString error = syncDirectory(dir); !error.isEmpty()) {
        return failure::folderNotSynced(path, dir, error);
    }
    if (written != nullptr) {
        *written = std::move(current.text.replace(edit.at, edit.removed, edit.inserted));
    }
    return Result::success();
}

} // namespace vemba::iniEdit
