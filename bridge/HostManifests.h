#pragma once
// The native messaging manifests that let Chromium, Google Chrome and Firefox
// start our browser host. Written at every start beside the menu
// registration, so they always name the host of the program that ran last.
// Only our own file in each folder is written; the manifests of other hosts
// there are never touched.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace HostManifests {

inline constexpr char kHostName[] = "vellum.browser_host";
inline constexpr char kHostExecutable[] = "vellum-browser-host";
inline constexpr char kChromiumExtensionId[] = "kjcnbijjdjjginciopfgpkjnbheckabh";
inline constexpr char kFirefoxExtensionId[] = "bridge@vellum.invalid";

enum class Browser { Chromium, Chrome, Firefox };

// The folder a browser reads host manifests from, with a trailing '/':
// $XDG_CONFIG_HOME/chromium/NativeMessagingHosts/,
// $XDG_CONFIG_HOME/google-chrome/NativeMessagingHosts/ or
// ~/.mozilla/native-messaging-hosts/.
QString folder(Browser browser);
// The manifest's full path.
QString path(Browser browser);
// The manifest naming hostPath, as JSON text.
QByteArray manifest(Browser browser, const QString& hostPath);

// Writes the three manifests for the host at hostPath, creating the folders;
// a manifest that already says the same is left as it is. Throws VellumError
// naming the first manifest that could not be written; the others are still
// attempted.
void write(const QString& hostPath);

} // namespace HostManifests
