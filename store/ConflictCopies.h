#pragma once
// Conflict copies that sync tools leave beside a category file when two
// machines changed it at once: Syncthing's
// "Date1.sync-conflict-20261209-101010-ABCDEFG.dat", Nextcloud's
// "Date1 (conflicted copy 2026-12-09 101010).dat", Dropbox's "Date1 (Anna's
// conflicted copy 2026-12-09).dat", ownCloud's "Date1_conflict-….dat". Each
// holds a whole version of the category; its posts are merged into the
// category and the copy is then moved out of the data folder, never deleted.
#include <QString>
#include <QStringList>

namespace ConflictCopies {
// The category (0 to 5) a file name is a conflict copy of, or -1.
int categoryOf(const QString& fileName);
// The conflict copies in the folder, as full paths, sorted by name.
QStringList find(const QString& dataDir);
// $XDG_STATE_HOME/vellum/merged/ with a trailing '/'.
QString mergedFolder();
// Moves a merged copy into the folder (created private), under a name not
// yet taken there. Returns the new path; throws VellumError (Chinese).
QString moveAside(const QString& path, const QString& folder = mergedFolder());
} // namespace ConflictCopies
