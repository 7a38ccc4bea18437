#pragma once
// Where the help, the forum and the about box lead. Until the project has a
// site of its own they all open the help page shipped in the program folder:
// an address on a domain the project does not own would hand our users to
// whoever registers it, so nothing outside the machine is linked.
#include "platform/Paths.h"

#include <QFileInfo>
#include <QString>
#include <QUrl>

namespace ProductAddresses {
// The page, relative to the program folder.
inline constexpr char HelpPage[] = "help/index.html";
// Sections of the page.
inline constexpr char ExtensionSection[] = "extension";

// The program folder's own page; installed, the shipped one under the prefix.
inline QString helpPagePath() {
    const QString own = Paths::programDir() + QString::fromLatin1(HelpPage);
    const QString shipped = Paths::installedDataDir();
    if (shipped.isEmpty() || QFileInfo::exists(own))
        return own;
    return shipped + QString::fromLatin1(HelpPage);
}
inline QUrl helpPage(const QString& section = QString()) {
    QUrl url = QUrl::fromLocalFile(helpPagePath());
    if (!section.isEmpty())
        url.setFragment(section);
    return url;
}
} // namespace ProductAddresses
