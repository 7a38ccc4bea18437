#include "platform/Autostart.h"
#include "platform/AtomicFile.h"

#include "platform/Paths.h"
#include "platform/VellumError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Autostart {

namespace {
[[noreturn]] void failWrite(const QString& path) {
    throw VellumError(QStringLiteral("无法写入开机自启动项“%1”。").arg(path));
}
} // namespace

QString entryPath() {
    return Paths::configHome() + QStringLiteral("autostart/vellum.desktop");
}

QString execValue(const QString& executable) {
    // An argument holding a reserved character is put in double quotes, inside
    // which '"', '`', '$' and '\' take a backslash.
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = executable.isEmpty();
    for (QChar c : executable) {
        if (reserved.contains(c)) {
            needsQuotes = true;
            break;
        }
    }
    QString arg;
    if (needsQuotes) {
        arg += QLatin1Char('"');
        for (QChar c : executable) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                arg += QLatin1Char('\\');
            arg += c;
        }
        arg += QLatin1Char('"');
    } else {
        arg = executable;
    }
    // '%' starts a field code, so a literal one is doubled; then the escapes of
    // a string value.
    arg.replace(QLatin1Char('%'), QStringLiteral("%%"));
    QString value;
    for (QChar c : arg) {
        if (c == QLatin1Char('\\'))
            value += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            value += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            value += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value;
}

QByteArray entryText(const QString& executable) {
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Version=1.0\n");
    text += QStringLiteral("Name=Vellum\n");
    text += QStringLiteral("Comment=UBB post library and capture tool\n");
    text += QStringLiteral("Exec=") + execValue(executable) + QLatin1Char('\n');
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}

void setEnabled(bool on) {
    setEnabled(on, Paths::executablePath());
}

void setEnabled(bool on, const QString& executable) {
    const QString path = entryPath();
    if (!on) {
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            return;
        if (!QFile::remove(path))
            failWrite(path);
        return;
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        failWrite(path);
    const QByteArray data = entryText(executable);
    if (!AtomicFile::write(path, data))
        failWrite(path);
}

bool isEnabled() {
    return QFileInfo::exists(entryPath());
}

} // namespace Autostart
