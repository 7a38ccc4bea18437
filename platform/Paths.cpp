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
    return withSlash(QCoreApplication::applicationDirPath());
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
