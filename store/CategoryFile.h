#pragma once
// Category files (and exported ".qre" data files) are code-page text, one post
// per line. Lines end at CR LF, a lone CR or a lone LF; a NUL ends the text.
// Written with CR LF after every line, the last included.
#include "platform/FileIdentity.h"
#include "store/ProgressIndicator.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace CategoryFile {
// What reading a category file found.
struct Loaded {
    // False when there is no file (and no link) at the path.
    bool exists = false;
    QList<QByteArray> lines;
    // Why the file was not read faithfully, as a Chinese phrase that follows
    // the file's name ("在第 750 字节处含有空字符…"); empty when it was.
    QString problem;
    // The file as it was opened: a writer that changes it while it is read
    // leaves it with another identity, so the change is seen later.
    std::optional<FileIdentity> identity;
};
// Reads a category file without ever blocking: a FIFO, a device, a folder or
// a dangling link is reported, not read. A NUL byte ends what is read.
Loaded load(const QString& path);

// Splits file contents into records by the reading rules.
QList<QByteArray> splitLines(const QByteArray& data);
// Reads a whole regular file without blocking; throws VellumError (Chinese)
// when it exists but cannot be read or is not a regular file.
QByteArray readAll(const QString& path);
// Replaces the file atomically (temporary file, flush to disk, rename), so a
// failure leaves the old file whole. Throws VellumError on failure.
void writeLines(const QString& path, const QList<QByteArray>& lines);
void writeBytes(const QString& path, const QByteArray& data);
// The pieces one after another, as one file, replaced as writeLines does.
void writePieces(const QString& path, const QList<QByteArray>& pieces);

// Asks for huge pages for a large fresh buffer: a few hundred page faults
// instead of one per 4 KB.
void adviseHugePages(char* data, qsizetype size);

// Reads a data file the user chose to import. Only a regular file that fits
// in memory is read: a FIFO, a device or a folder would block the reader or
// never end, and each is refused with a VellumError, as is a file that
// cannot be read. The progress goes from 0 to 1000 as the bytes come in.
QByteArray readDataFile(const QString& path, ProgressIndicator* progress = nullptr);
// writeLines that reports the lines written, from 0 to their number.
void writeLines(const QString& path, const QList<QByteArray>& lines, ProgressIndicator* progress);
} // namespace CategoryFile
