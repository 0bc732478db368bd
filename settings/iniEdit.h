#pragma once

#include "Result.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <functional>

namespace vemba::iniEdit {

// The largest settings file read or written: 4 MiB. The program's own
// entries take a few hundred bytes and Windows kept profile files far
// smaller; a larger file is somebody else's, and reading it whole at every
// start and every change would cost seconds and memory for nothing.
constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;

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
// section or key and for an empty value, and for a file that cannot be read
// or is larger than kMaxFileBytes. Never fails.
QString ReadSetting(const QString& programDir, const QString& section, const QString& key);

// The whole file, read once for many look-ups. A missing file reads as empty
// text; one that cannot be read, or is too large, reads as empty text too,
// with the reason worded for the user.
struct Snapshot {
    QByteArray text;
    QString problem; // empty when the file was read or is not there
    bool tooLarge = false;
};
Snapshot readSnapshot(const QString& programDir);
// ReadSetting() on a snapshot's text.
QString lookupSetting(const QByteArray& text, const QString& section, const QString& key);

// Stores the entry, creating the file, section or key as needed, and replaces
// the file atomically so that it is on disk, whole, when the call returns:
// success means the data and the folder's entry for it were synced. Writers
// in other processes wait for each other, so none loses another's entry.
// Where `written` is given, it receives the file's new text on success.
Result WriteSetting(const QString& programDir, const QString& section, const QString& key,
                    const QString& value, QByteArray* written = nullptr);

// Tests stand in for the sync of the written file and of its folder, to see
// which descriptors are synced and to make a sync fail; an empty function
// puts back fdatasync() and fsync().
void setSyncForTesting(std::function<int(int fd)> sync);

} // namespace vemba::iniEdit
