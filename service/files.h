#pragma once

#include <QByteArray>
#include <QString>

// File helpers shared by the settings, language, save and backup code. Every write that replaces
// something the player cares about goes to a temporary first and is renamed into place, so a
// crash or a full disk never leaves a half-written file or folder behind.
namespace Service {

// Writes `bytes` to a new temporary beside `path` ("<path>.tmp-" and six random characters),
// flushes it to disk and renames it over `path`. On failure the old file is untouched, the
// temporary is gone and `error` says why.
bool writeAtomically(const QString &path, const QByteArray &bytes, QString *error);

// Copies the directory tree `from` into the new directory `to` (which must not exist yet).
bool copyTree(const QString &from, const QString &to, QString *error);

// Replaces the directory `target` with the complete directory `staged` (same file system).
// The old tree is renamed aside first and put back if the final rename fails.
bool replaceTree(const QString &staged, const QString &target, QString *error);

// Removes a directory tree; renames it to a hidden sibling first so a half-removed tree is
// never mistaken for a real one.
bool removeTree(const QString &path);

// Removes the temporaries that writeAtomically leaves in `dir` when the process is killed
// mid-write. Only those an hour old go: another service on the installation may be writing.
void sweepTemporaries(const QString &dir);

// True when the directory holds at least one regular file somewhere below it.
bool hasFiles(const QString &dir);

// Microseconds since the epoch, as used for backup and staging names.
qint64 microsecondsNow();

} // namespace Service
