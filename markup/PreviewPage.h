#pragma once
// The preview page: the converted post wrapped into a small HTML page,
// written as preview.htm in the program folder and opened in the desktop's
// browser. The page declares its character set and forbids scripts before
// anything the post can bring in, so captured HTML renders but never runs.
#include "settings/SettingsMirror.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>

// The page's bytes in the code page, ending with CR LF.
QByteArray PreviewPageBytes(const QString& title, const QString& htmlBody);

// Replaces programDir/preview.htm whole and opens it with the desktop's
// default browser. Throws VellumError when the file cannot be written (the
// browser is then not asked) or the desktop cannot open it.
void WritePreview(const QString& programDir, const QString& title, const QString& htmlBody);

// The preview button: nothing for an empty content; otherwise convert, write
// and open. Every failure is shown in the standard error box and leaves no
// new page behind. Returns whether the page was opened.
bool PreviewPost(const QString& programDir, const QString& title, const QString& content,
                 const TSettingsMirror& settings);

// How the page reaches the browser. Tests put a recorder here instead of
// starting a browser. Returns whether the desktop took the address.
namespace PreviewOpener {
using Opener = std::function<bool(const QUrl&)>;
// An empty opener restores the desktop's default.
void set(Opener opener);
bool open(const QUrl& url);
} // namespace PreviewOpener
