#include "platform/ProgramFolder.h"

#include "platform/AtomicFile.h"
#include "platform/KeyStore.h"
#include "platform/SystemErrorText.h"
#include "platform/VellumError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>

namespace ProgramFolder {

namespace {
QString withSlash(QString dir) {
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

QStringList userFiles() {
    QStringList files;
    for (int n = 1; n <= 6; ++n)
        files << QStringLiteral("date/Date%1.dat").arg(n);
    files << QStringLiteral("config.ini") << QStringLiteral("QuickNotes.dat");
    return files;
}

bool holdsPosts(const QString& dir) {
    for (int n = 1; n <= 6; ++n) {
        const QFileInfo file(dir + QStringLiteral("date/Date%1.dat").arg(n));
        if (file.isFile() && file.size() > 0)
            return true;
    }
    return false;
}

QByteArray readRegular(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        throw VellumError(QStringLiteral("无法读取文件“%1”：%2").arg(path, file.errorString()));
    return file.readAll();
}
} // namespace

bool prepare(const QString& programDir, const QString& sharedDir) {
    const QString dir = withSlash(programDir);
    const bool existed = QFileInfo(dir).isDir();
    if (!existed) {
        if (!QDir().mkpath(QFileInfo(QDir::cleanPath(dir)).absolutePath()) ||
            (::mkdir(QFile::encodeName(dir).constData(), 0700) != 0 && errno != EEXIST))
            throw VellumError(
                QStringLiteral("无法建立程序文件夹“%1”：%2").arg(dir, SystemErrorText::of(errno)));
    }
    if (!QDir().mkpath(dir + QStringLiteral("date")))
        throw VellumError(QStringLiteral("无法建立分类文件夹“%1date”。").arg(dir));
    const QString config = dir + QStringLiteral("config.ini");
    if (!QFileInfo(config).exists() && !QFileInfo(config).isSymLink()) {
        QString error;
        if (!AtomicFile::write(
                config, readRegular(withSlash(sharedDir) + QStringLiteral("config.ini")), &error))
            throw VellumError(QStringLiteral("无法建立设置文件“%1”：%2").arg(config, error));
    }
    return !existed;
}

QString previousFolder(const QString& programDir) {
    QStringList candidates;
    const std::optional<QString> exe =
        KeyStore::readString(KeyStore::Hive::LocalMachine, QStringLiteral("Software\\Vellum"),
                             QStringLiteral("exefile"));
    if (exe && !exe->isEmpty())
        candidates << withSlash(QFileInfo(*exe).absolutePath());
    candidates << QDir::homePath() + QStringLiteral("/Vellum/");
    const QString own = QFileInfo(programDir).canonicalFilePath();
    for (const QString& dir : candidates)
        if (QFileInfo(dir).canonicalFilePath() != own && holdsPosts(dir))
            return dir;
    return {};
}

int copyPosts(const QString& from, const QString& to) {
    int copied = 0;
    for (const QString& relative : userFiles()) {
        const QString source = withSlash(from) + relative;
        if (!QFileInfo(source).isFile())
            continue;
        const QString target = withSlash(to) + relative;
        QString error;
        if (!AtomicFile::write(target, readRegular(source), &error))
            throw VellumError(
                QStringLiteral("无法把“%1”复制到“%2”：%3").arg(source, target, error));
        ++copied;
    }
    return copied;
}

} // namespace ProgramFolder
