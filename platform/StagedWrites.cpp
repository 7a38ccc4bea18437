#include "platform/StagedWrites.h"

#include "platform/SystemErrorText.h"
#include "platform/VellumError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
QString failure(const QString& path, int error) {
    return QStringLiteral("无法写入文件“%1”：%2").arg(path, SystemErrorText::of(error));
}

// Writes to a file and hands what is written to the disk every few
// megabytes, so the disk works while the rest is still being made and the
// flush at the commit has less left to wait for.
class FileWriter {
  public:
    explicit FileWriter(int fd) : m_fd(fd) {}
    // 0 or the errno of the failed write.
    int write(const char* data, qsizetype size);

  private:
    static constexpr qint64 kStartWriteback = 16 << 20;
    int m_fd;
    qint64 m_written = 0;
    qint64 m_handedToDisk = 0;
};

bool writeAll(int fd, const char* data, qsizetype size);

int FileWriter::write(const char* data, qsizetype size) {
    if (!writeAll(m_fd, data, size))
        return errno;
    m_written += size;
    if (m_written - m_handedToDisk >= kStartWriteback) {
        ::sync_file_range(m_fd, m_handedToDisk, m_written - m_handedToDisk, SYNC_FILE_RANGE_WRITE);
        m_handedToDisk = m_written;
    }
    return 0;
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

std::function<void(const QString&)>& renameHook() {
    static std::function<void(const QString&)> hook;
    return hook;
}

// Holds an advisory lock on a file while it lives; no lock when the file
// cannot be opened (a read-only folder: the rename fails anyway).
class FolderLock {
  public:
    explicit FolderLock(const QString& path) {
        if (path.isEmpty())
            return;
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (m_fd >= 0)
            while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~FolderLock() {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

  private:
    int m_fd = -1;
};

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

void StagedWrites::removeLeftOvers(const QString& path) {
    QStringList places{QFileInfo(path).absoluteFilePath()};
    const QString real = QFileInfo(path).canonicalFilePath();
    if (!real.isEmpty() && real != places.first())
        places << real;
    for (const QString& target : places) {
        const QFileInfo info(target);
        // A replacement names its temporary file <target>.<pid>-<n>.tmp.
        const QRegularExpression own(QStringLiteral("^%1\\.\\d+-\\d+\\.tmp$")
                                         .arg(QRegularExpression::escape(info.fileName())));
        QDir folder = info.absoluteDir();
        for (const QString& name :
             folder.entryList({info.fileName() + QStringLiteral(".*.tmp")}, QDir::Files))
            if (own.match(name).hasMatch())
                folder.remove(name);
    }
}

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

StagedWrites::Staged StagedWrites::stageFile(const QString& path, const QList<QByteArray>& pieces,
                                             QByteArrayView terminator, const Progress& progress) {
    Staged s;
    if (const int error = tryStage(path, pieces, terminator, s, progress))
        throw VellumError(failure(path, error));
    return s;
}

int StagedWrites::openTemp(const QString& path, Staged& s) {
    s.target = realTarget(path);
    for (int attempt = 0; s.fd < 0; ++attempt) {
        s.temp = s.target + QStringLiteral(".%1-%2.tmp").arg(::getpid()).arg(attempt);
        s.fd = ::open(QFile::encodeName(s.temp).constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (s.fd < 0 && (errno != EEXIST || attempt > 100))
            return errno;
    }
    // The new file keeps the old one's permissions.
    struct stat st {};
    if (::stat(QFile::encodeName(s.target).constData(), &st) == 0)
        ::fchmod(s.fd, st.st_mode & 07777);
    return 0;
}

int StagedWrites::abandon(Staged& s, int error) {
    ::close(s.fd);
    ::unlink(QFile::encodeName(s.temp).constData());
    s.fd = -1;
    return error;
}

void StagedWrites::stageStream(const QString& path,
                               const std::function<void(const Writer&)>& fill) {
    Staged s;
    if (const int error = openTemp(path, s))
        throw VellumError(failure(path, error));
    int error = 0;
    FileWriter file(s.fd);
    try {
        fill([&](QByteArrayView bytes) {
            if (error == 0)
                error = file.write(bytes.data(), bytes.size());
            return error == 0;
        });
    } catch (...) {
        abandon(s, 0);
        throw;
    }
    if (error != 0)
        throw VellumError(failure(path, abandon(s, error)));
    ::sync_file_range(s.fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    m_staged.append(s);
}

int StagedWrites::tryStage(const QString& path, const QList<QByteArray>& pieces,
                           QByteArrayView terminator, Staged& s, const Progress& progress) {
    if (const int error = openTemp(path, s))
        return error;
    int error = 0;
    // Small pieces are gathered into large blocks (one write per line is
    // slow); a large piece goes out as it is, without a copy.
    constexpr qsizetype kBlock = 1 << 20;
    QByteArray block;
    FileWriter file(s.fd);
    const auto flush = [&] {
        if (error == 0 && !block.isEmpty())
            error = file.write(block.constData(), block.size());
        block.resize(0);
    };
    qsizetype done = 0;
    for (const QByteArray& piece : pieces) {
        if (piece.size() >= kBlock) {
            flush();
            if (error == 0)
                error = file.write(piece.constData(), piece.size());
        } else {
            if (block.capacity() < kBlock)
                block.reserve(kBlock + 4096);
            block.append(piece);
        }
        block.append(terminator);
        ++done;
        if (block.size() >= kBlock) {
            flush();
            if (progress && error == 0)
                progress(done);
        }
        if (error != 0)
            break;
    }
    flush();
    if (progress && error == 0)
        progress(done);
    if (error != 0)
        return abandon(s, error);
    // The disk starts on this file while the next one is being written.
    ::sync_file_range(s.fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    return 0;
}

void StagedWrites::discard(QList<Staged>& staged) {
    for (Staged& s : staged) {
        if (s.fd >= 0)
            ::close(s.fd);
        s.fd = -1;
        ::unlink(QFile::encodeName(s.temp).constData());
    }
    staged.clear();
}

int StagedWrites::flushAndClose(Staged& s) {
    int error = 0;
    if (::fdatasync(s.fd) != 0)
        error = errno;
    if (::close(s.fd) != 0 && error == 0)
        error = errno;
    s.fd = -1;
    return error;
}

void StagedWrites::setRenameHook(std::function<void(const QString&)> hook) {
    renameHook() = std::move(hook);
}

void StagedWrites::commitGroup(QList<Staged>& staged, Outcome& outcome, QSet<QString>& folders,
                               const QString& lockPath) {
    // Every file of the group is on the disk before the first one is renamed.
    for (Staged& s : staged)
        if (::fdatasync(s.fd) != 0)
            outcome.failures.append({s.target, errno});
    if (!outcome.failures.isEmpty()) {
        discard(staged);
        return;
    }
    {
        // Another instance on this machine checks and renames under the same
        // lock, so the two never interleave. A writer that takes no lock (a
        // sync tool, an editor) can still replace a file between the check
        // and the rename, a window of one stat() and one rename(); its version
        // is then lost unless it is seen again, as sync tools do when they
        // notice the file changed under them.
        const FolderLock lock(lockPath);
        for (const Staged& s : staged)
            if (s.checkDisk && FileIdentity::ofPath(s.target) != s.expected)
                outcome.failures.append({s.target, kChangedOutside});
        if (!outcome.failures.isEmpty()) {
            discard(staged);
            return;
        }
        for (Staged& s : staged) {
            const QByteArray temp = QFile::encodeName(s.temp);
            if (::rename(temp.constData(), QFile::encodeName(s.target).constData()) != 0) {
                outcome.failures.append({s.target, errno});
                ::unlink(temp.constData());
            } else {
                folders.insert(QFileInfo(s.target).absolutePath());
                // Taken from the open file: a writer that follows the rename
                // at once must not be taken for this version.
                outcome.written.append(FileIdentity::ofDescriptor(s.fd).value_or(FileIdentity{}));
                if (renameHook())
                    renameHook()(s.target);
            }
        }
    }
    for (Staged& s : staged) {
        ::close(s.fd);
        s.fd = -1;
    }
    staged.clear();
    if (!outcome.failures.isEmpty())
        outcome.written.clear();
}

void StagedWrites::syncFolders(const QSet<QString>& folders) {
    // The renames themselves reach the disk with the folder.
    for (const QString& folder : folders) {
        const int fd =
            ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }
}

QList<StagedWrites::Outcome> StagedWrites::writeGroups(const QList<QList<File>>& groups,
                                                       QByteArrayView terminator,
                                                       const QString& lockPath) {
    struct Attempt {
        Staged staged;
        int error = 0;
    };
    // Every file is staged at once on worker threads: turning a large
    // category into bytes is memory work and the cores share it.
    std::vector<std::vector<std::future<Attempt>>> jobs(size_t(groups.size()));
    for (qsizetype g = 0; g < groups.size(); ++g)
        for (const File& f : groups[g])
            jobs[size_t(g)].push_back(std::async(std::launch::async, [f, terminator] {
                Attempt a;
                a.error = tryStage(f.path, *f.pieces, terminator, a.staged);
                a.staged.checkDisk = f.checkDisk;
                a.staged.expected = f.expected;
                return a;
            }));
    QList<Outcome> result(groups.size());
    QList<qsizetype> retry;
    QSet<QString> folders;
    for (qsizetype g = 0; g < groups.size(); ++g) {
        QList<Staged> staged;
        QList<Failure> failures;
        bool outOfRoom = false;
        for (qsizetype i = 0; i < groups[g].size(); ++i) {
            Attempt a = jobs[size_t(g)][size_t(i)].get();
            if (a.error == 0) {
                staged.append(a.staged);
            } else {
                failures.append({groups[g][i].path, a.error});
                outOfRoom = outOfRoom || SystemErrorText::isOutOfRoom(a.error);
            }
        }
        if (failures.isEmpty()) {
            commitGroup(staged, result[g], folders, lockPath);
            continue;
        }
        discard(staged);
        if (outOfRoom)
            retry.append(g);
        else
            result[g].failures = failures;
    }
    // The groups committed so far freed the room of their old files.
    for (const qsizetype g : retry) {
        QList<Staged> staged;
        for (const File& f : groups[g]) {
            Staged s;
            if (const int error = tryStage(f.path, *f.pieces, terminator, s)) {
                result[g].failures.append({f.path, error});
                break;
            }
            s.checkDisk = f.checkDisk;
            s.expected = f.expected;
            staged.append(s);
        }
        if (result[g].failures.isEmpty())
            commitGroup(staged, result[g], folders, lockPath);
        else
            discard(staged);
    }
    syncFolders(folders);
    return result;
}

QStringList StagedWrites::commit() {
    QStringList errors;
    QSet<QString> folders;
    for (Staged& s : m_staged) {
        const QByteArray temp = QFile::encodeName(s.temp);
        int error = flushAndClose(s);
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
    syncFolders(folders);
    return errors;
}
