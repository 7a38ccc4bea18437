#include "net/DownloadNaming.h"

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr qsizetype kMaxNameBytes = 255;
constexpr int kMaxNumber = 100000;

// Cuts whole characters off the end until the name fits the file system.
QString fitBytes(QString text, qsizetype maxBytes) {
    while (!text.isEmpty() && QFile::encodeName(text).size() > maxBytes) {
        text.chop(1);
        if (!text.isEmpty() && text.back().isHighSurrogate())
            text.chop(1);
    }
    return text;
}

qsizetype extensionStart(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name.size() : dot;
}

// base + middle + extension, the base shortened so the whole fits.
QString fitName(const QString& name, const QString& middle) {
    const qsizetype dot = extensionStart(name);
    const QString ext = name.mid(dot);
    const QString tail = middle + ext;
    const qsizetype tailBytes = QFile::encodeName(tail).size();
    if (tailBytes >= kMaxNameBytes)
        return fitBytes(tail, kMaxNameBytes);
    return fitBytes(name.left(dot), kMaxNameBytes - tailBytes) + tail;
}

} // namespace

QString TitleFolderName(const QString& title) {
    QString name = title;
    name.remove(QLatin1Char('\\'));
    name.remove(QLatin1Char('/'));
    name.remove(QLatin1Char('*'));
    name.remove(QChar(0));
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return {};
    return fitBytes(name, kMaxNameBytes);
}

QString EffectiveSaveFolder(const QString& stored) {
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:([\\\\/]|$)"));
    if (stored.isEmpty() || drive.match(stored).hasMatch()) {
        QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
        if (downloads.isEmpty())
            downloads = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
        return downloads;
    }
    return stored;
}

QString DownloadFolder(const QString& saveFolder, const QString& titleFolder) {
    if (titleFolder.isEmpty())
        return saveFolder;
    if (saveFolder.endsWith(QLatin1Char('/')))
        return saveFolder + titleFolder;
    return saveFolder + QLatin1Char('/') + titleFolder;
}

QString FileNameFromAddress(const QString& address) {
    const qsizetype cut =
        std::max(address.lastIndexOf(QLatin1Char('/')), address.lastIndexOf(QLatin1Char('\\')));
    return fitName(address.mid(cut + 1), QString());
}

QString NumberedFileName(const QString& name, int n) {
    return fitName(name, QStringLiteral("00") + QString::number(n));
}

int CreateUniqueFileAt(int dirFd, const QString& name, QString* created) {
    for (int n = 0; n <= kMaxNumber; ++n) {
        const QString candidate = n == 0 ? name : NumberedFileName(name, n);
        // O_EXCL fails on any existing entry, a symbolic link included, so
        // the name is ours the moment the file exists.
        const int fd = ::openat(dirFd, QFile::encodeName(candidate).constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            *created = candidate;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    errno = EEXIST;
    return -1;
}

int CreateUniqueFile(const QString& folder, const QString& name, QString* path) {
    const int dirFd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return -1;
    QString created;
    const int fd = CreateUniqueFileAt(dirFd, name, &created);
    const int saved = errno;
    ::close(dirFd);
    errno = saved;
    if (fd >= 0)
        *path = folder.endsWith(QLatin1Char('/')) ? folder + created
                                                  : folder + QLatin1Char('/') + created;
    return fd;
}
