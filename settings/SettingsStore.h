#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

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

    // Start-up reads the file once, not once per entry: takeSnapshot() reads
    // it whole, and ReadSetting() answers from that text, kept up to date by
    // the store's own writes, until dropSnapshot(). A file that cannot be read
    // is told at once and reads as empty, so the controls stay as designed;
    // one over iniEdit::kMaxFileBytes is also never written in this run, so
    // nothing in it is lost.
    void takeSnapshot();
    void dropSnapshot() { m_snapshot.reset(); }

    QString ReadSetting(const QString& section, const QString& key) const;
    void WriteSetting(const QString& section, const QString& key, const QString& value);

private:
    void tell(const QString& message);

    QString m_directory;
    FailureCallback m_onFirstFailure;
    std::optional<QByteArray> m_snapshot;
    bool m_createDirectory = false;
    bool m_writesRefused = false;
    bool m_failureTold = false;
};

} // namespace vemba
