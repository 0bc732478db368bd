#pragma once

#include <QString>
#include <functional>

namespace vemba {

// The settings file of one program directory, for the window's handlers.
// A failed write loses its value and the program goes on; the first failure
// of a run is handed to the failure callback (which tells the user), later
// ones are not.
class SettingsStore {
public:
    using FailureCallback = std::function<void(const QString& message)>;

    explicit SettingsStore(QString programDir, FailureCallback onFirstFailure = {});

    QString ReadSetting(const QString& section, const QString& key) const;
    void WriteSetting(const QString& section, const QString& key, const QString& value);

private:
    QString m_programDir;
    FailureCallback m_onFirstFailure;
    bool m_failureTold = false;
};

} // namespace vemba
