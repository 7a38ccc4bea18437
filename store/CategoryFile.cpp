#include "store/CategoryFile.h"
#include "platform/AtomicFile.h"

#include "platform/VellumError.h"

#include <QFile>
#include <QSaveFile>

#include <cstring>

namespace CategoryFile {

QList<QByteArray> splitLines(const QByteArray& data) {
    QList<QByteArray> lines;
    const char* begin = data.constData();
    qsizetype size = data.size();
    if (const void* nul = std::memchr(begin, '\0', size))
        size = static_cast<const char*>(nul) - begin;
    const char* const end = begin + size;
    const char* p = begin;
    while (p < end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
        const char* stop = lf ? lf : end;
        const char* cr = static_cast<const char*>(std::memchr(p, '\r', stop - p));
        if (cr) {
            lines.append(QByteArray(p, cr - p));
            p = (cr + 1 < end && cr[1] == '\n') ? cr + 2 : cr + 1;
        } else if (lf) {
            lines.append(QByteArray(p, lf - p));
            p = lf + 1;
        } else {
            lines.append(QByteArray(p, end - p));
            p = end;
        }
    }
    return lines;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw VellumError(
            QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()));
    QByteArray data;
    const qint64 size = file.size();
    if (size > 0) {
        data.resize(size);
        qint64 got = 0;
        while (got < size) {
            const qint64 r = file.read(data.data() + got, size - got);
            if (r < 0)
                throw VellumError(
                    QStringLiteral("Cannot read file \"%1\". %2").arg(path, file.errorString()));
            if (r == 0)
                break;
            got += r;
        }
        data.truncate(got);
    }
    // A file that grows while being read, or a special file with no size.
    const QByteArray rest = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw VellumError(
            QStringLiteral("Cannot read file \"%1\". %2").arg(path, file.errorString()));
    if (!rest.isEmpty())
        data.append(rest);
    return data;
}

namespace {
[[noreturn]] void failWrite(const QString& path, const QSaveFile& file) {
    throw VellumError(
        QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()));
}
} // namespace

void writeLines(const QString& path, const QList<QByteArray>& lines) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        failWrite(path, file);
    // Gather lines into large blocks: one write per line is slow on big files.
    QByteArray block;
    constexpr qsizetype kBlock = 1 << 20;
    block.reserve(kBlock + 4096);
    for (const QByteArray& line : lines) {
        block.append(line);
        block.append("\r\n", 2);
        if (block.size() >= kBlock) {
            if (file.write(block) != block.size())
                failWrite(path, file);
            block.resize(0);
        }
    }
    if (!block.isEmpty() && file.write(block) != block.size())
        failWrite(path, file);
    if (!file.commit())
        failWrite(path, file);
}

void writeBytes(const QString& path, const QByteArray& data) {
    QString reason;
    if (!AtomicFile::write(path, data, &reason))
        throw VellumError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason));
}

} // namespace CategoryFile
