#include "store/CategoryFile.h"

#include "platform/StagedWrites.h"
#include "platform/VellumError.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace CategoryFile {

namespace {
// Records share the file's buffer instead of each being copied out of it: a
// large library loads without one allocation and one copy per post. A record
// that is changed later gets a buffer of its own, as any shared QByteArray.
class LineMaker {
  public:
    explicit LineMaker(const QByteArray& data) : m_data(const_cast<QByteArray&>(data)) {}
    QByteArray operator()(const char* begin, qsizetype size) const {
        if (size == 0)
            return QByteArray();
        QByteArray::DataPointer& d = m_data.data_ptr();
        if (!d.d_ptr())
            return QByteArray(begin, size);
        d.d_ptr()->ref();
        return QByteArray(QByteArray::DataPointer(d.d_ptr(), const_cast<char*>(begin), size));
    }

  private:
    QByteArray& m_data;
};
} // namespace

namespace {
// The first CR, LF or NUL at or after p, or end: one pass over the text.
const char* findBreak(const char* p, const char* end) {
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i nul = _mm_setzero_si128();
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)),
                                         _mm_cmpeq_epi8(v, nul));
        if (const int mask = _mm_movemask_epi8(hit))
            return p + __builtin_ctz(unsigned(mask));
        p += 16;
    }
#endif
    while (p < end && *p != '\r' && *p != '\n' && *p != '\0')
        ++p;
    return p;
}
} // namespace

QList<QByteArray> splitLines(const QByteArray& data) {
    QList<QByteArray> lines;
    const LineMaker line(data);
    const char* p = data.constData();
    const char* const end = p + data.size();
    while (p < end) {
        const char* stop = findBreak(p, end);
        if (stop == end || *stop == '\0') {
            // The last line needs no break; a NUL ends the readable text.
            if (stop > p)
                lines.append(line(p, stop - p));
            break;
        }
        lines.append(line(p, stop - p));
        p = stop + 1;
        if (*stop == '\r' && p < end && *p == '\n')
            ++p;
    }
    return lines;
}

// A large library is read into fresh memory; with huge pages that memory
// costs a few hundred page faults instead of one per 4 KB.
void adviseHugePages(char* data, qsizetype size) {
    constexpr quintptr kPage = 4096;
    const quintptr begin = (reinterpret_cast<quintptr>(data) + kPage - 1) & ~(kPage - 1);
    const quintptr end = (reinterpret_cast<quintptr>(data) + quintptr(size)) & ~(kPage - 1);
    if (end > begin + (2u << 20))
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

namespace {
QString kindOf(mode_t mode) {
    if (S_ISFIFO(mode))
        return QStringLiteral("命名管道");
    if (S_ISDIR(mode))
        return QStringLiteral("文件夹");
    if (S_ISSOCK(mode))
        return QStringLiteral("套接字");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("设备");
    return QStringLiteral("特殊文件");
}

QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// What the system can give now without swapping others out: a file larger
// than this could not be held, and asking for it would end the program.
qint64 availableMemory() {
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (meminfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : meminfo.readAll().split('\n'))
            if (line.startsWith("MemAvailable:"))
                return line.mid(13).trimmed().split(' ').first().toLongLong() * 1024;
    }
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? qint64(pages) * pageSize : -1;
}

QString byteSize(qint64 bytes) {
    if (bytes >= (qint64(1) << 30))
        return QStringLiteral("%1 GB").arg(double(bytes) / double(qint64(1) << 30), 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(double(bytes) / double(1 << 20), 0, 'f', 1);
}

// Opens without blocking (a FIFO would wait for a writer for ever) and reads
// the whole regular file. Returns the problem as a Chinese phrase, or empty.
QString readRegular(const QString& path, QByteArray& data,
                    std::optional<FileIdentity>* identity = nullptr) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QStringLiteral("无法打开（%1）").arg(reason(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        return QStringLiteral("无法读取（%1）").arg(reason(error));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return QStringLiteral("不是普通文件，而是%1").arg(kindOf(st.st_mode));
    }
    // Refused by its size, before a byte of memory is spent on it.
    const qint64 memory = availableMemory();
    if (memory > 0 && st.st_size > memory) {
        ::close(fd);
        return QStringLiteral("有 %1，超过了本机现在可用的内存（%2），没有读入")
            .arg(byteSize(st.st_size), byteSize(memory));
    }
    if (identity)
        *identity = FileIdentity::ofDescriptor(fd);
    qint64 capacity = qMax<qint64>(st.st_size, 0) + 1;
    try {
        data.resize(capacity);
    } catch (const std::bad_alloc&) {
        ::close(fd);
        return QStringLiteral("有 %1，内存不足，没有读入").arg(byteSize(st.st_size));
    }
    adviseHugePages(data.data(), capacity);
    qint64 got = 0;
    for (;;) {
        if (got == capacity) {
            // The file grew while it was read.
            capacity *= 2;
            try {
                data.resize(capacity);
            } catch (const std::bad_alloc&) {
                ::close(fd);
                data.clear();
                return QStringLiteral("在读取时不断变大，内存不足，没有读入");
            }
        }
        const ssize_t n = ::read(fd, data.data() + got, size_t(capacity - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            data.clear();
            return QStringLiteral("无法读取（%1）").arg(reason(error));
        }
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    data.truncate(got);
    return {};
}
} // namespace

Loaded load(const QString& path) {
    Loaded loaded;
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0) {
        // No file, or no data folder: the category starts empty, and the
        // folder itself is reported on its own.
        const int error = errno;
        loaded.exists = error != ENOENT && error != ENOTDIR;
        if (loaded.exists)
            loaded.problem = QStringLiteral("无法读取（%1）").arg(reason(error));
        return loaded;
    }
    loaded.exists = true;
    if (S_ISLNK(st.st_mode) && ::stat(name.constData(), &st) != 0) {
        loaded.problem = QStringLiteral("是指向“%1”的符号链接，但链接的目标不存在或无法访问")
                             .arg(QFileInfo(path).symLinkTarget());
        return loaded;
    }
    QByteArray data;
    loaded.problem = readRegular(path, data, &loaded.identity);
    if (!loaded.problem.isEmpty())
        return loaded;
    const void* nul = std::memchr(data.constData(), 0, size_t(data.size()));
    if (nul) {
        const qsizetype offset = static_cast<const char*>(nul) - data.constData();
        loaded.problem = QStringLiteral("在第 %1 字节处含有空字符（NUL），只读入了它之前的 %1 "
                                        "个字节（文件共 %2 字节）")
                             .arg(offset)
                             .arg(data.size());
    }
    loaded.lines = splitLines(data);
    return loaded;
}

QByteArray readAll(const QString& path) {
    QByteArray data;
    const QString problem = readRegular(path, data);
    if (!problem.isEmpty())
        throw VellumError(QStringLiteral("文件“%1”%2。").arg(path, problem));
    return data;
}

namespace {
void replaceFile(const QString& path, const QList<QByteArray>& pieces, QByteArrayView terminator) {
    StagedWrites writes;
    writes.stage(path, pieces, terminator);
    const QStringList errors = writes.commit();
    if (!errors.isEmpty())
        throw VellumError(errors.first());
}
} // namespace

void writeLines(const QString& path, const QList<QByteArray>& lines) {
    replaceFile(path, lines, "\r\n");
}

void writeBytes(const QString& path, const QByteArray& data) {
    replaceFile(path, {data}, {});
}

void writePieces(const QString& path, const QList<QByteArray>& pieces) {
    replaceFile(path, pieces, {});
}

void writeLines(const QString& path, const QList<QByteArray>& lines, ProgressIndicator* progress) {
    if (progress) {
        progress->setMinimum(0);
        progress->setMaximum(int(lines.size()));
    }
    StagedWrites writes;
    writes.stage(path, lines, "\r\n", [progress](qsizetype written) {
        if (progress)
            progress->setPosition(int(written));
    });
    const QStringList errors = writes.commit();
    if (!errors.isEmpty())
        throw VellumError(errors.first());
}

namespace {
class Descriptor {
  public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

  private:
    int m_fd;
};

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

qint64 physicalMemory() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? qint64(pages) * pageSize : -1;
}

QString tooLarge(const QString& path) {
    return QStringLiteral("文件“%1”太大，内存容纳不下，不能导入。").arg(path);
}
} // namespace

QByteArray readDataFile(const QString& path, ProgressIndicator* progress) {
    // Not blocking: opening a FIFO would otherwise wait for a writer.
    const Descriptor fd(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        throw VellumError(QStringLiteral("无法打开文件“%1”。%2").arg(path, systemError(errno)));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        throw VellumError(QStringLiteral("无法读取文件“%1”。%2").arg(path, systemError(errno)));
    if (!S_ISREG(st.st_mode))
        throw VellumError(QStringLiteral("“%1”不是普通文件，不能导入。").arg(path));
    const qint64 memory = physicalMemory();
    if (memory > 0 && st.st_size > memory)
        throw VellumError(tooLarge(path));
    if (progress) {
        progress->setMinimum(0);
        progress->setMaximum(1000);
    }
    constexpr qsizetype kChunk = 4 << 20;
    const auto readSome = [&](char* into, qsizetype size) -> qsizetype {
        for (;;) {
            const ssize_t r = ::read(fd.get(), into, size_t(size));
            if (r >= 0)
                return r;
            if (errno != EINTR)
                throw VellumError(
                    QStringLiteral("无法读取文件“%1”。%2").arg(path, systemError(errno)));
        }
    };
    QByteArray data;
    try {
        data.resize(qsizetype(st.st_size));
        adviseHugePages(data.data(), data.size());
        qsizetype got = 0;
        while (got < data.size()) {
            const qsizetype r = readSome(data.data() + got, std::min(kChunk, data.size() - got));
            if (r == 0)
                break;
            got += r;
            if (progress)
                progress->setPosition(int(got * 1000 / data.size()));
        }
        data.truncate(got);
        // A file that grows while it is read, or one whose size is not known.
        char more[64 * 1024];
        while (const qsizetype r = readSome(more, sizeof more))
            data.append(more, r);
    } catch (const std::bad_alloc&) {
        throw VellumError(tooLarge(path));
    }
    if (progress)
        progress->setPosition(1000);
    return data;
}

} // namespace CategoryFile
