#pragma once

#include "ProfileText.h"
#include "iniEdit.h"

// The reasons a settings write fails, worded for the user: each names the
// file and says what went wrong and what that means for the value.
namespace vemba::iniEdit::failure {

WriteResult badEntry(const QString& path, profile::NameProblem problem);
WriteResult missingDirectory(const QString& path, const QString& dir);
WriteResult directoryInPlace(const QString& path);
WriteResult notAFile(const QString& path);
WriteResult unreadable(const QString& path, const QString& detail);
// Opening the temporary file failed: a read-only file or directory, mostly.
WriteResult cannotCreate(const QString& path, const QString& dir, const QString& detail);
// Writing, syncing or renaming failed: a full disk, mostly.
WriteResult cannotFinish(const QString& path, const QString& dir, qint64 bytes,
                         const QString& detail);

} // namespace vemba::iniEdit::failure
