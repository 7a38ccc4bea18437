#pragma once
// Start at log-on: the XDG autostart entry
// $XDG_CONFIG_HOME/autostart/vellum.desktop, which the desktop reads when the
// user logs on. Its Exec line names the executable's full path.
#include <QByteArray>
#include <QString>

namespace Autostart {

// The entry's full path.
QString entryPath();
// Writes the entry for the running executable (on), or deletes it (off); an
// absent entry is no error. Throws VellumError("无法写入开机自启动项“<path>”。").
void setEnabled(bool on);
void setEnabled(bool on, const QString& executable);
bool isEnabled();

// The Exec value for a program path: quoted by the desktop-entry rules when it
// holds a reserved character, with the value's own escapes applied.
QString execValue(const QString& executable);
// The whole desktop entry.
QByteArray entryText(const QString& executable);

} // namespace Autostart
