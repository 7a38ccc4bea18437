#include "settings/QuickNotes.h"

#include "store/CategoryFile.h"

#include <QFileInfo>

namespace QuickNotes {

namespace {
constexpr char kToken[] = "$1310$";
}

QByteArray encode(QByteArrayView note) {
    QByteArray out;
    out.reserve(note.size());
    for (qsizetype i = 0; i < note.size(); ++i) {
        const char c = note[i];
        if (c == '\r') {
            if (i + 1 < note.size() && note[i + 1] == '\n')
                ++i;
            out += kToken;
        } else if (c == '\n') {
            out += kToken;
        } else {
            out += c;
        }
    }
    return out;
}

QByteArray decode(QByteArrayView stored) {
    QByteArray out = stored.toByteArray();
    out.replace(kToken, "\r\n");
    return out;
}

QList<QByteArray> parse(const QByteArray& data) {
    return CategoryFile::splitLines(data);
}

std::optional<QList<QByteArray>> load(const QString& path) {
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return parse(CategoryFile::readAll(path));
}

void save(const QString& path, const QList<QByteArray>& notes) {
    CategoryFile::writeLines(path, notes);
}

} // namespace QuickNotes
