#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// Files that hold health data: created 0600 in folders 0700, never through a
// link, written to a temporary name, synced and renamed into place, the folder
// synced after, so that a crash leaves the old file or the new one, whole.
namespace keeping {

// A file made, by its path, or why it was not.
struct MadeFile
{
    QString path;  // empty on failure
    QString error; // empty on success
    bool ok() const { return error.isEmpty(); }
};

// Makes `folder` (0700) where missing; refuses a link or a non-folder in its
// place; narrows an existing folder of ours to 0700. Empty string on success.
QString ensurePrivateFolder(const QString &folder);

// Creates a new, empty file 0600 in `folder` that no one else has, named
// `.stem-XXXXXX.tmp`.
MadeFile createPrivateTemp(const QString &folder, const QString &stem);

// The moment this run of the program began.
QDateTime runStarted();

// Removes from `folder` what a killed backup, restore or import of the diary
// named `stem` left under this program's own temporary names
// (`.stem-XXXXXX.tmp`, and the journal beside one), when it was last written
// before `before`: a run that is still writing one keeps it. The names removed.
QStringList removeLeftovers(const QString &folder, const QString &stem, const QDateTime &before);

// fsync of a file, or of a folder so that a rename in it lasts.
bool syncFile(const QString &path);
bool syncFolder(const QString &folder);

// Renames `from` to `to` in the same folder. With `replace` false an existing
// `to` is never overwritten. Empty string when renamed (only then is `to`
// the new file). Syncs the folder; when the disk does not confirm that, the
// rename stands and `unconfirmed` says so.
QString renameInto(const QString &from, const QString &to, bool replace, QString *unconfirmed = nullptr);

// Writes `bytes` to `path` the safe way (0600). Empty string on success.
QString writePrivateFile(const QString &path, const QByteArray &bytes);

// Whether `path` is a link (so that nothing follows it).
bool isLink(const QString &path);

} // namespace keeping
