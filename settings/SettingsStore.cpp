#include "SettingsStore.h"

#include "WriteFailure.h"
#include "iniEdit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <sys/stat.h>
#include <utility>

namespace vemba {

namespace {

// The directory that could not be made: the deepest one that is there.
QString nearestExisting(QString dir) {
    while (!QFileInfo(dir).isDir() && dir != QDir::rootPath()) {
        dir = QFileInfo(dir).path();
    }
    return dir;
}

// Folders made here hold one user's settings: private, as the XDG base
// directory rules ask. Folders that are there keep their mode.
bool makePrivatePath(const QString& dir) {
    if (QFileInfo(dir).isDir()) {
        return true;
    }
    const QString parent = QFileInfo(dir).path();
    if (parent != dir && !makePrivatePath(parent)) {
        return false;
    }
    return ::mkdir(QFile::encodeName(dir).constData(), 0700) == 0 ||
           (errno == EEXIST && QFileInfo(dir).isDir());
}

} // namespace

SettingsStore::SettingsStore(QString directory, FailureCallback onFirstFailure)
    : m_directory(std::move(directory)), m_onFirstFailure(std::move(onFirstFailure)) {}

SettingsStore SettingsStore::forProgram(const QString& programDir, FailureCallback onFirstFailure) {
    SettingsStore store(iniEdit::settingsDirectory(programDir), std::move(onFirstFailure));
    store.m_createDirectory = store.m_directory != programDir;
    return store;
}

void SettingsStore::takeSnapshot() {
    iniEdit::Snapshot snapshot = iniEdit::readSnapshot(m_directory);
    m_snapshot = std::move(snapshot.text);
    m_writesRefused = m_writesRefused || snapshot.tooLarge;
    if (!snapshot.problem.isEmpty()) {
        tell(snapshot.problem);
    }
}

QString SettingsStore::ReadSetting(const QString& section, const QString& key) const {
    if (m_snapshot) {
        return iniEdit::lookupSetting(*m_snapshot, section, key);
    }
    return iniEdit::ReadSetting(m_directory, section, key);
}

void SettingsStore::WriteSetting(const QString& section, const QString& key, const QString& value) {
    if (m_writesRefused) {
        return; // told at start-up
    }
    Result result = Result::success();
    // The snapshot makes way for the write's own copy of the file and comes
    // back as the new text: never more than two copies at a time.
    const bool snapshot = m_snapshot.has_value();
    m_snapshot.reset();
    QByteArray written;
    if (m_createDirectory && !makePrivatePath(m_directory)) {
        result = iniEdit::failure::cannotCreate(
            iniEdit::settingsPath(m_directory), nearestExisting(m_directory),
            QStringLiteral("フォルダー「%1」を作れません").arg(m_directory));
    } else {
        result =
            iniEdit::WriteSetting(m_directory, section, key, value, snapshot ? &written : nullptr);
    }
    if (result.ok()) {
        if (snapshot) {
            m_snapshot = std::move(written);
        }
        return;
    }
    // What the file holds now is unknown: reads go to the file again.
    tell(result.reason());
}

// One message per run is enough: every later write would fail the same way.
void SettingsStore::tell(const QString& message) {
    if (m_failureTold) {
        return;
    }
    m_failureTold = true;
    if (m_onFirstFailure) {
        m_onFirstFailure(message);
    }
}

} // namespace vemba
