#pragma once
// QuickNotes.dat: code-page text, one quick-reply note a line, CR LF after
// every line. A line break inside a note is stored as "$1310$", so a note is
// always exactly one line of the file.
#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace QuickNotes {

// Every line break of a note (CR LF, a lone CR, a lone LF) becomes "$1310$".
QByteArray encode(QByteArrayView note);
// "$1310$" back to CR LF.
QByteArray decode(QByteArrayView stored);
// The notes of a file's contents, in their stored form: lines end at CR LF, a
// lone CR or a lone LF.
QList<QByteArray> parse(const QByteArray& data);
// Reads the notes; nullopt when the file does not exist. Throws VellumError
// when it exists but cannot be read.
std::optional<QList<QByteArray>> load(const QString& path);
// Replaces the file atomically with the notes, CR LF after each. Throws
// VellumError on failure, leaving the old file whole.
void save(const QString& path, const QList<QByteArray>& notes);

} // namespace QuickNotes
