#include "markup/PreviewPage.h"

#include "markup/UbbToHtml.h"
#include "platform/AnsiCodePage.h"
#include "platform/AtomicFile.h"
#include "platform/ErrorReporter.h"
#include "platform/VellumError.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>

namespace PreviewOpener {
namespace {
Opener& current() {
    static Opener opener;
    return opener;
}
} // namespace

void set(Opener opener) {
    current() = std::move(opener);
}

bool open(const QUrl& url) {
    if (current())
        return current()(url);
    return QDesktopServices::openUrl(url);
}
} // namespace PreviewOpener

QByteArray PreviewPageBytes(const QString& title, const QString& htmlBody) {
    const QString page =
        QStringLiteral("<html><head><meta charset=\"gb18030\"><meta http-equiv=\"Content-Security-"
                       "Policy\" content=\"script-src 'none'\"><title>") +
        title + QStringLiteral("</title></head><body><h3>") + title +
        QStringLiteral("</h3><table width=80%><tr><td>") + htmlBody +
        QStringLiteral("</td></tr></table></body></html>\r\n");
    return AnsiCodePage::fromUnicode(page);
}

void WritePreview(const QString& programDir, const QString& title, const QString& htmlBody) {
    const QString path = programDir + QStringLiteral("preview.htm");
    QString reason;
    if (!AtomicFile::write(path, PreviewPageBytes(title, htmlBody), &reason))
        throw VellumError(
            QStringLiteral("无法写入预览页 %1。\n%2").arg(QDir::toNativeSeparators(path), reason));
    if (!PreviewOpener::open(QUrl::fromLocalFile(path)))
        throw VellumError(QStringLiteral("预览页已写入 %1，但无法用默认浏览器打开它。")
                              .arg(QDir::toNativeSeparators(path)));
}

namespace {
// A wait cursor for as long as the conversion runs, whatever way it ends.
class BusyCursor {
  public:
    BusyCursor() {
        if (qobject_cast<QApplication*>(QCoreApplication::instance()))
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyCursor() {
        if (qobject_cast<QApplication*>(QCoreApplication::instance()))
            QApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};
} // namespace

bool PreviewPost(const QString& programDir, const QString& title, const QString& content,
                 const TSettingsMirror& settings) {
    if (content.isEmpty())
        return false;
    try {
        QString html;
        {
            BusyCursor busy;
            html = UbbToHtml(content, settings);
        }
        WritePreview(programDir, title, html);
        return true;
    } catch (const VellumError& e) {
        ErrorReporter::report(e);
        return false;
    }
}
