#include "store/CategoryFile.h"

#include "platform/StagedWrites.h"
#include "platform/VellumError.h"

#include <QFile>

#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <sys/mman.h>

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

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw VellumError(QStringLiteral("无法打开文件“%1”：%2").arg(path, file.errorString()));
    QByteArray data;
    const qint64 size = file.size();
    if (size > 0) {
        data.resize(size);
        adviseHugePages(data.data(), size);
        qint64 got = 0;
        while (got < size) {
            const qint64 r = file.read(data.data() + got, size - got);
            if (r < 0)
                throw VellumError(
                    QStringLiteral("无法读取文件“%1”：%2").arg(path, file.errorString()));
            if (r == 0)
                break;
            got += r;
        }
        data.truncate(got);
    }
    // A file that grows while being read, or a special file with no size.
    const QByteArray rest = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw VellumError(QStringLiteral("无法读取文件“%1”：%2").arg(path, file.errorString()));
    if (!rest.isEmpty())
        data.append(rest);
    return data;
}

namespace {} // namespace

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
