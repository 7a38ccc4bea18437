#include "bridge/HostManifests.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/VellumError.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace HostManifests {

QString folder(Browser browser) {
    switch (browser) {
    case Browser::Chromium:
        return Paths::configHome() + QStringLiteral("chromium/NativeMessagingHosts/");
    case Browser::Chrome:
        return Paths::configHome() + QStringLiteral("google-chrome/NativeMessagingHosts/");
    case Browser::Firefox:
        break;
    }
    return QDir::homePath() + QStringLiteral("/.mozilla/native-messaging-hosts/");
}

QString path(Browser browser) {
    return folder(browser) + QLatin1String(kHostName) + QStringLiteral(".json");
}

QByteArray manifest(Browser browser, const QString& hostPath) {
    QJsonObject m;
    m.insert(QStringLiteral("name"), QLatin1String(kHostName));
    m.insert(QStringLiteral("description"), QStringLiteral("Vellum browser bridge"));
    m.insert(QStringLiteral("path"), hostPath);
    m.insert(QStringLiteral("type"), QStringLiteral("stdio"));
    if (browser == Browser::Firefox)
        m.insert(QStringLiteral("allowed_extensions"),
                 QJsonArray{QLatin1String(kFirefoxExtensionId)});
    else
        m.insert(
            QStringLiteral("allowed_origins"),
            QJsonArray{
                QStringLiteral("chrome-extension://%1/").arg(QLatin1String(kChromiumExtensionId))});
    return QJsonDocument(m).toJson(QJsonDocument::Indented);
}

void write(const QString& hostPath) {
    QString firstError;
    for (const Browser browser : {Browser::Chromium, Browser::Chrome, Browser::Firefox}) {
        const QString file = path(browser);
        const QByteArray text = manifest(browser, hostPath);
        QFile current(file);
        if (current.open(QIODevice::ReadOnly) && current.size() == text.size() &&
            current.readAll() == text)
            continue;
        current.close();
        QString error;
        if (!QDir().mkpath(folder(browser)))
            error = QStringLiteral("无法创建浏览器扩展的连接文件夹 %1").arg(folder(browser));
        else if (!AtomicFile::write(file, text, &error) && error.isEmpty())
            error = QStringLiteral("无法写入浏览器扩展的连接文件 %1").arg(file);
        if (!error.isEmpty() && firstError.isEmpty())
            firstError = error;
    }
    if (!firstError.isEmpty())
        throw VellumError(firstError);
}

} // namespace HostManifests
