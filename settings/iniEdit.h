#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <utility>

namespace vemba::iniEdit {

// Outcome of a write; a failure says why, in the user's language.
class WriteResult {
public:
    WriteResult() = default; // success
    static WriteResult failed(QString reason) {
        WriteResult result;
        result.m_ok = false;
        result.m_reason = std::move(reason);
        return result;
    }

    bool ok() const { return m_ok; }
    const QString& reason() const { return m_reason; }

private:
    bool m_ok = true;
    QString m_reason;
};

// The settings file of a directory: the directory followed by "/setting.ini".
QString settingsPath(const QString& programDir);

// The directory that keeps the settings of a program directory: the program
// directory itself while it may be written (a build folder, a copy in the
// user's home); else, installed system-wide, the user's own
// $XDG_CONFIG_HOME/vemba-pc (by default ~/.config/vemba-pc). Without a usable
// XDG_CONFIG_HOME or HOME there is nowhere else, and it stays the program's.
QString settingsDirectory(const QString& programDir, const QProcessEnvironment& environment =
                                                         QProcessEnvironment::systemEnvironment());

// The entry's value, at most 1023 bytes of it; empty text for a missing file,
// section or key and for an empty value. Never fails.
QString ReadSetting(const QString& programDir, const QString& section, const QString& key);

// Stores the entry, creating the file, section or key as needed, and replaces
// the file atomically so that it is on disk, whole, when the call returns.
WriteResult WriteSetting(const QString& programDir, const QString& section, const QString& key,
                         const QString& value);

} // namespace vemba::iniEdit
