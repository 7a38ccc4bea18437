#pragma once
// Replaces a file whole: a temporary file in the same folder, flushed to disk
// and renamed over the old one, so a failure or a crash leaves the old file.
#include <QByteArray>
#include <QString>

namespace AtomicFile {
// Returns false on failure, with the reason in *error when given.
bool write(const QString& path, const QByteArray& data, QString* error = nullptr);
} // namespace AtomicFile
