#include "platform/Paths.h"

#include "platform/VellumError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString withSlash(QString dir) {
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

} // namespace

void Paths::makePrivateDir(const QString& dir) {
    const QByteArray path = QFile::encodeName(dir);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        throw VellumError(QStringLiteral("无法建立运行文件夹“%1”：%2")
                              .arg(dir, QString::fromLocal8Bit(std::strerror(errno))));
    struct stat st {};
    if (::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode))
        throw VellumError(
            QStringLiteral("运行文件夹“%1”是一个符号链接。别人可以借它读写 Vellum "
                           "的运行文件，所以 Vellum 没有启动。请删除这个链接后再启动。")
                .arg(dir));
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw VellumError(QStringLiteral("运行文件夹“%1”不是一个文件夹。").arg(dir));
    if (st.st_uid != ::getuid())
        throw VellumError(QStringLiteral("运行文件夹“%1”属于另一个用户。").arg(dir));
    if ((st.st_mode & 0777) != 0700)
        ::chmod(path.constData(), 0700);
}

namespace Paths {

QString programDir() {
    const QString home = qEnvironmentVariable("VELLUM_HOME");
    if (!home.isEmpty())
        return withSlash(QDir(home).absolutePath());
    if (!installedDataDir().isEmpty())
        return dataHome() + QStringLiteral("vellum/");
    return withSlash(QCoreApplication::applicationDirPath());
}

QString installedDataDir() {
    // The executable sits in <prefix>/bin, the host in <prefix>/libexec/vellum.
    QDir dir(QCoreApplication::applicationDirPath());
    const QString name = dir.dirName();
    if (name == QLatin1String("vellum") && dir.cdUp() && dir.dirName() == QLatin1String("libexec"))
        dir.cdUp();
    else if (name == QLatin1String("bin"))
        dir.cdUp();
    else
        return {};
    const QString shared = dir.absoluteFilePath(QStringLiteral("share/vellum"));
    return QFileInfo(shared + QStringLiteral("/config.ini")).isFile() ? withSlash(shared)
                                                                      : QString();
}

QString dataHome() {
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (!xdg.isEmpty())
        return withSlash(xdg);
    return withSlash(QDir::homePath() + QStringLiteral("/.local/share"));
}

QString browserHostPath() {
    const QString shared = installedDataDir();
    if (!shared.isEmpty())
        return QDir::cleanPath(shared + QStringLiteral("../../libexec/vellum/vellum-browser-host"));
    return withSlash(QCoreApplication::applicationDirPath()) +
           QStringLiteral("vellum-browser-host");
}

QString extensionDir() {
    const QString shared = installedDataDir();
    if (!shared.isEmpty())
        return shared + QStringLiteral("browser-extension/");
    return programDir() + QStringLiteral("html/");
}

QString soundFile() {
    const QString own = programDir() + QStringLiteral("sound/sound.wav");
    const QString shared = installedDataDir();
    if (shared.isEmpty() || QFileInfo::exists(own))
        return own;
    return shared + QStringLiteral("sound/sound.wav");
}

QString executablePath() {
    return QCoreApplication::applicationFilePath();
}

QString runtimeDir() {
    const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString dir;
    if (!xdg.isEmpty()) {
        dir = withSlash(xdg) + QStringLiteral("vellum");
    } else {
        dir = QStringLiteral("/tmp/vellum-%1").arg(::getuid());
    }
    makePrivateDir(dir);
    return withSlash(dir);
}

QString configHome() {
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty())
        return withSlash(xdg);
    return withSlash(QDir::homePath() + QStringLiteral("/.config"));
}

} // namespace Paths

namespace Paths {
QString stateHome() {
    const QString xdg = qEnvironmentVariable("XDG_STATE_HOME");
    if (!xdg.isEmpty())
        return withSlash(xdg);
    return withSlash(QDir::homePath() + QStringLiteral("/.local/state"));
}
} // namespace Paths
