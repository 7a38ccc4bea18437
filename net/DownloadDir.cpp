#include "net/DownloadDir.h"

#include "net/DownloadNaming.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::shared_ptr<DownloadDir> DownloadDir::open(const QString& saveFolder,
                                               const QString& titleFolder, int* error) {
    if (saveFolder.isEmpty()) {
        *error = ENOENT;
        return nullptr;
    }
    // The save folder is the user's own choice and may well be a link; a
    // failure to make it shows in the open that follows.
    QDir().mkpath(saveFolder);
    std::shared_ptr<DownloadDir> base = existing(saveFolder, error);
    if (!base || titleFolder.isEmpty())
        return base;
    const QByteArray name = QFile::encodeName(titleFolder);
    if (::mkdirat(base->fd(), name.constData(), 0777) != 0 && errno != EEXIST) {
        *error = errno;
        return nullptr;
    }
    const int fd =
        ::openat(base->fd(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        // Said as a link, whatever the kernel answered for it.
        struct stat st {};
        if (::fstatat(base->fd(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(st.st_mode))
            *error = ELOOP;
        return nullptr;
    }
    return std::shared_ptr<DownloadDir>(
        new DownloadDir(fd, DownloadFolder(saveFolder, titleFolder)));
}

std::shared_ptr<DownloadDir> DownloadDir::existing(const QString& folder, int* error) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return nullptr;
    }
    *error = 0;
    return std::shared_ptr<DownloadDir>(new DownloadDir(fd, folder));
}

DownloadDir::~DownloadDir() {
    ::close(m_fd);
}
