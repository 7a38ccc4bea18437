#include "platform/StagedWrites.h"

#include "platform/VellumError.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
QString failure(const QString& path, int error) {
    return QStringLiteral("Cannot create file \"%1\". %2")
        .arg(path, QString::fromLocal8Bit(std::strerror(error)));
}

bool writeAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

// A category file may be a link to the real file; the real one is replaced.
QString realTarget(const QString& path) {
    const QFileInfo info(path);
    if (info.isSymLink()) {
        const QString canonical = info.canonicalFilePath();
        if (!canonical.isEmpty())
            return canonical;
    }
    return path;
}
} // namespace

StagedWrites::~StagedWrites() {
    for (const Staged& s : m_staged) {
        if (s.fd >= 0)
            ::close(s.fd);
        ::unlink(QFile::encodeName(s.temp).constData());
    }
}

void StagedWrites::stage(const QString& path, const QList<QByteArray>& pieces,
                         QByteArrayView terminator, const Progress& progress) {
    m_staged.append(stageFile(path, pieces, terminator, progress));
}

QStringList StagedWrites::stageAll(const QList<QPair<QString, const QList<QByteArray>*>>& files,
                                   QByteArrayView terminator) {
    // Turning a large category into bytes is memory work; the cores share it.
    std::vector<std::future<Staged>> jobs;
    for (const auto& [path, pieces] : files)
        jobs.push_back(std::async(std::launch::async, [path = path, pieces = pieces, terminator] {
            return stageFile(path, *pieces, terminator);
        }));
    QStringList errors;
    for (auto& job : jobs) {
        try {
            m_staged.append(job.get());
        } catch (const VellumError& e) {
            errors << e.message();
        }
    }
    return errors;
}

StagedWrites::Staged StagedWrites::stageFile(const QString& path, const QList<QByteArray>& pieces,
                                             QByteArrayView terminator, const Progress& progress) {
    Staged s;
    s.target = realTarget(path);
    const QByteArray target = QFile::encodeName(s.target);
    for (int attempt = 0; s.fd < 0; ++attempt) {
        s.temp = s.target + QStringLiteral(".%1-%2.tmp").arg(::getpid()).arg(attempt);
        s.fd = ::open(QFile::encodeName(s.temp).constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (s.fd < 0 && (errno != EEXIST || attempt > 100))
            throw VellumError(failure(path, errno));
    }
    // The new file keeps the old one's permissions.
    struct stat st {};
    if (::stat(target.constData(), &st) == 0)
        ::fchmod(s.fd, st.st_mode & 07777);

    const auto fail = [&](int error) {
        ::close(s.fd);
        ::unlink(QFile::encodeName(s.temp).constData());
        throw VellumError(failure(path, error));
    };
    // Small pieces are gathered into large blocks (one write per line is
    // slow); a large piece goes out as it is, without a copy.
    constexpr qsizetype kBlock = 1 << 20;
    QByteArray block;
    const auto flush = [&] {
        if (!block.isEmpty() && !writeAll(s.fd, block.constData(), block.size()))
            fail(errno);
        block.resize(0);
    };
    qsizetype done = 0;
    for (const QByteArray& piece : pieces) {
        if (piece.size() >= kBlock) {
            flush();
            if (!writeAll(s.fd, piece.constData(), piece.size()))
                fail(errno);
        } else {
            if (block.capacity() < kBlock)
                block.reserve(kBlock + 4096);
            block.append(piece);
        }
        block.append(terminator);
        ++done;
        if (block.size() >= kBlock) {
            flush();
            if (progress)
                progress(done);
        }
    }
    flush();
    if (progress)
        progress(done);
    // The disk starts on this file while the next one is being written.
    ::sync_file_range(s.fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    return s;
}

QStringList StagedWrites::commit() {
    QStringList errors;
    QSet<QString> folders;
    for (Staged& s : m_staged) {
        const QByteArray temp = QFile::encodeName(s.temp);
        int error = 0;
        if (::fdatasync(s.fd) != 0)
            error = errno;
        if (::close(s.fd) != 0 && error == 0)
            error = errno;
        s.fd = -1;
        if (error == 0 && ::rename(temp.constData(), QFile::encodeName(s.target).constData()) != 0)
            error = errno;
        if (error != 0) {
            ::unlink(temp.constData());
            errors << failure(s.target, error);
        } else {
            folders.insert(QFileInfo(s.target).absolutePath());
        }
    }
    m_staged.clear();
    // The renames themselves reach the disk with the folder.
    for (const QString& folder : folders) {
        const int fd =
            ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }
    return errors;
}
