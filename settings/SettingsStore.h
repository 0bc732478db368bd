#pragma once

#include <QString>
#include <functional>

namespace vemba {

// The settings file of one directory, for the window's handlers.
// A failed write loses its value and the program goes on; the first failure
// of a run is handed to the failure callback (which tells the user), later
// ones are not.
class SettingsStore {
public:
    using FailureCallback = std::function<void(const QString& message)>;

    explicit SettingsStore(QString directory, FailureCallback onFirstFailure = {});
    // The store of a program: its directory, or the user's own one where the
    // program's may not be written (see iniEdit::settingsDirectory), which
    // the first write creates.
    static SettingsStore forProgram(const QString& programDir, FailureCallback onFirstFailure);

    const QString& directory() const { return m_directory; }

    QString ReadSetting(const QString& section, const QString& key) const;
    void WriteSetting(const QString& section, const QString& key, const QString& value);

private:
    QString m_directory;
    FailureCallback m_onFirstFailure;
    bool m_createDirectory = false;
    bool m_failureTold = false;
};

} // namespace vemba
