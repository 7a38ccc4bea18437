#pragma once
// The user's program folder of an installed Vellum ($XDG_DATA_HOME/vellum/):
// made at the first start from the shipped defaults, and, once, filled with
// the posts of the folder the user ran Vellum from before it was installed.
// That older folder is only ever read: nothing in it is moved or deleted.
#include <QString>

namespace ProgramFolder {
// Makes programDir (mode 0700) with date/, and copies the shipped config.ini
// into it when it has none. Returns true when the folder did not exist
// before (a first start). Throws VellumError (Chinese) when it cannot be made.
bool prepare(const QString& programDir, const QString& sharedDir);
// A folder used before the installation that holds posts: the folder of the
// registered executable, or ~/Vellum. Empty when there is none.
QString previousFolder(const QString& programDir);
// Copies the posts (date/Date1.dat ... Date6.dat), config.ini and
// QuickNotes.dat from `from` into `to`, each file replaced atomically.
// Returns the number of files copied; throws VellumError naming the first
// file that could not be copied.
int copyPosts(const QString& from, const QString& to);
} // namespace ProgramFolder
