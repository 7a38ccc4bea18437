#pragma once
// Category files (and exported ".qre" data files) are code-page text, one post
// per line. Lines end at CR LF, a lone CR or a lone LF; a NUL ends the text.
// Written with CR LF after every line, the last included.
#include "store/ProgressIndicator.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace CategoryFile {
// Splits file contents into records by the reading rules.
QList<QByteArray> splitLines(const QByteArray& data);
// Reads a whole file; throws VellumError when it exists but cannot be read.
QByteArray readAll(const QString& path);
// Replaces the file atomically (temporary file, flush to disk, rename), so a
// failure leaves the old file whole. Throws VellumError on failure.
void writeLines(const QString& path, const QList<QByteArray>& lines);
void writeBytes(const QString& path, const QByteArray& data);

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
