#include "platform/FileIdentity.h"

#include <QFile>

#include <sys/stat.h>

namespace {
FileIdentity fromStat(const struct stat& st) {
    FileIdentity id;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = st.st_size;
    id.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return id;
}
} // namespace

std::optional<FileIdentity> FileIdentity::ofPath(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return fromStat(st);
}

std::optional<FileIdentity> FileIdentity::ofDescriptor(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    return fromStat(st);
}
