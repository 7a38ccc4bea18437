#pragma once
#include <QString>

// Where the program's files are. Run from a folder staged by the run command,
// everything is in that folder, beside the executable. Installed from the
// package (the executable in <prefix>/bin, the browser host in
// <prefix>/libexec/vellum, shipped files in <prefix>/share/vellum/), the
// executable's folder belongs to the system, so the user's files live in
// $XDG_DATA_HOME/vellum/ and the shipped ones stay under the prefix.
namespace Paths {
// The program directory with a trailing '/': VELLUM_HOME when set; installed,
// $XDG_DATA_HOME/vellum/; otherwise the executable's folder.
QString programDir();
// "<prefix>/share/vellum/" when the program runs installed, empty otherwise.
QString installedDataDir();
// $XDG_DATA_HOME (or ~/.local/share) with a trailing '/'.
QString dataHome();
// The native messaging host that belongs to this program.
QString browserHostPath();
// The folder of the browser extension's pages, with a trailing '/': the
// program folder's html/, or the installed extension.
QString extensionDir();
// The capture sound: the program folder's own, else the installed one.
QString soundFile();
// Full path of the running executable.
QString executablePath();
// $XDG_RUNTIME_DIR/vellum/ (or /tmp/vellum-<uid>/), created with mode 0700 and
// with a trailing '/'. Throws VellumError when it cannot be made safely.
QString runtimeDir();
// $XDG_CONFIG_HOME (or ~/.config) with a trailing '/'.
QString configHome();
// Creates dir with mode 0700, or accepts it when it exists, belongs to this
// user and is a real folder. Throws VellumError otherwise.
void makePrivateDir(const QString& dir);
// $XDG_STATE_HOME (or ~/.local/state) with a trailing '/'.
QString stateHome();
} // namespace Paths
