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
} // namespace Paths
