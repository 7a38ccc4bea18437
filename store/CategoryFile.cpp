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

namespace {
// A large library is read into fresh memory; with huge pages that memory
// costs a few hundred page faults instead of one per 4 KB.
void adviseHugePages(char* data, qsizetype size) {
    constexpr quintptr kPage = 4096;
    const quintptr begin = (reinterpret_cast<quintptr>(data) + kPage - 1) & ~(kPage - 1);
    const quintptr end = (reinterpret_cast<quintptr>(data) + quintptr(size)) & ~(kPage - 1);
    if (end > begin + (2u << 20))
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}
} // namespace

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

// Opens without blocking (a FIFO would wait for a writer for ever) and reads
// the whole regular file. Returns the problem as a Chinese phrase, or empty.
QString readRegular(const QString& path, QByteArray& data) {
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
    qint64 capacity = qMax<qint64>(st.st_size, 0) + 1;
    data.resize(capacity);
    adviseHugePages(data.data(), capacity);
    qint64 got = 0;
    for (;;) {
        if (got == capacity) {
            // The file grew while it was read.
            capacity *= 2;
            data.resize(capacity);
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
    loaded.problem = readRegular(path, data);
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

} // namespace CategoryFile
