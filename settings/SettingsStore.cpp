#include "SettingsStore.h"

#include "iniEdit.h"

#include <utility>

namespace vemba {

SettingsStore::SettingsStore(QString programDir, FailureCallback onFirstFailure)
    : m_programDir(std::move(programDir)), m_onFirstFailure(std::move(onFirstFailure)) {}

QString SettingsStore::ReadSetting(const QString& section, const QString& key) const {
    return iniEdit::ReadSetting(m_programDir, section, key);
}

void SettingsStore::WriteSetting(const QString& section, const QString& key, const QString& value) {
    const iniEdit::WriteResult result = iniEdit::WriteSetting(m_programDir, section, key, value);
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
