#pragma once

#include "ProfileText.h"
#include "iniEdit.h"

// The reasons a settings write fails, worded for the user: each names the
// file and says what went wrong and what that means for the value.
namespace vemba::iniEdit::failure {

// Why the current file could not be read.
enum class ReadTrouble { None, MissingDirectory, DirectoryInPlace, NotAFile, Unreadable, TooLarge };

Result badEntry(const QString& path, profile::NameProblem problem);
// A write gives up rather than drop the entries it could not see.
Result cannotRead(const QString& path, const QString& programDir, ReadTrouble trouble,
                  const QString& detail);
// Start-up goes on from the window's design instead.
QString startUpCannotRead(const QString& path, ReadTrouble trouble, const QString& detail);
// Another writer held the file's lock for the whole wait.
Result busy(const QString& path);
// Opening the temporary file failed: a read-only file or directory, mostly.
Result cannotCreate(const QString& path, const QString& dir, const QString& detail);
// Writing, syncing or renaming failed: a full disk, mostly.
Result cannotFinish(const QString& path, const QString& dir, qint64 bytes, const QString& detail);
// The new file is in place, but the folder's entry for it may not survive a
// power cut.
Result folderNotSynced(const QString& path, const QString& dir, const QString& detail);

} // namespace vemba::iniEdit::failure
