#include "platform/InstanceLock.h"

#include "platform/VellumError.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

InstanceLock::~InstanceLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool InstanceLock::tryAcquire(const QString& runtimeDir) {
    const QByteArray path = QFile::encodeName(runtimeDir + QStringLiteral("QUIREV3.0.lock"));
    // O_CLOEXEC: a child that inherited the descriptor would keep the lock.
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EISDIR)
        throw VellumError(QStringLiteral("锁文件“%1”是一个文件夹，Vellum 无法确认是否已有另一个 "
                                         "Vellum 在运行，所以没有启动。请删除这个文件夹后再启动。")
                              .arg(QString::fromLocal8Bit(path)));
    if (fd < 0)
        throw VellumError(
            QStringLiteral("无法打开锁文件“%1”：%2")
                .arg(QString::fromLocal8Bit(path), QString::fromLocal8Bit(std::strerror(errno))));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}
