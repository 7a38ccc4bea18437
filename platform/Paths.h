#pragma once
#include <QString>

namespace Paths {
// The program directory with a trailing '/': VELLUM_HOME when set, otherwise
// the executable's folder.
QString programDir();
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
