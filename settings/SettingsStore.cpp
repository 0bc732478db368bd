#include "SettingsStore.h"

#include "WriteFailure.h"
#include "iniEdit.h"

#include <QDir>
#include <QFileInfo>
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

} // namespace

SettingsStore::SettingsStore(QString directory, FailureCallback onFirstFailure)
    : m_directory(std::move(directory)), m_onFirstFailure(std::move(onFirstFailure)) {}

SettingsStore SettingsStore::forProgram(const QString& programDir, FailureCallback onFirstFailure) {
    SettingsStore store(iniEdit::settingsDirectory(programDir), std::move(onFirstFailure));
    store.m_createDirectory = store.m_directory != programDir;
    return store;
}

QString SettingsStore::ReadSetting(const QString& section, const QString& key) const {
    return iniEdit::ReadSetting(m_directory, section, key);
}

void SettingsStore::WriteSetting(const QString& section, const QString& key, const QString& value) {
    iniEdit::WriteResult result;
    if (m_createDirectory && !QDir().mkpath(m_directory)) {
        result = iniEdit::failure::cannotCreate(
            iniEdit::settingsPath(m_directory), nearestExisting(m_directory),
            QStringLiteral("フォルダー「%1」を作れません").arg(m_directory));
    } else {
        result = iniEdit::WriteSetting(m_directory, section, key, value);
    }
    if (result.ok() || m_failureTold) {
        return;
    }
    // One message per run is enough: every later write would fail the same way.
    m_failureTold = true;
    if (m_onFirstFailure) {
        m_onFirstFailure(result.reason());
    }
}

} // namespace vemba
