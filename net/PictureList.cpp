#include "net/PictureList.h"

#include "platform/AnsiCodePage.h"
#include "platform/VellumError.h"

#include <limits>

std::optional<qint32> ParseInteger(QByteArrayView text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return std::nullopt;
    // The magnitude may reach 2^31 for the most negative value.
    const qint64 limit = negative ? qint64(std::numeric_limits<qint32>::max()) + 1
                                  : qint64(std::numeric_limits<qint32>::max());
    qint64 value = 0;
    for (; i < n; ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * base + digit;
        if (value > limit)
            return std::nullopt;
    }
    return qint32(negative ? -value : value);
}

QList<PictureEntry> ParsePicturePayload(const QByteArray& payload) {
    QList<PictureEntry> entries;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = payload.indexOf("$$", start);
        if (end < 0)
            break;
        const QByteArray piece = payload.mid(start, end - start);
        start = end + 2;

        PictureEntry entry;
        QByteArray widthField;
        QByteArray heightField;
        const qsizetype first = piece.indexOf(';');
        if (first < 0) {
            heightField = piece;
        } else {
            entry.address = piece.left(first);
            const qsizetype second = piece.indexOf(';', first + 1);
            if (second < 0) {
                // As with no ";" at all: a missing separator leaves the field
                // before it empty and the rest is the height.
                heightField = piece.mid(first + 1);
            } else {
                widthField = piece.mid(first + 1, second - first - 1);
                heightField = piece.mid(second + 1);
            }
        }
        entry.width = ParseInteger(widthField).value_or(0);
        entry.height = ParseInteger(heightField).value_or(0);
        entries.append(entry);
    }
    return entries;
}

qint32 FilterValue(const QString& text) {
    if (text.isEmpty())
        return 0;
    const std::optional<qint32> value = ParseInteger(text.toLatin1());
    bool ascii = true;
    for (QChar c : text)
        ascii = ascii && c.unicode() < 0x80;
    if (!value || !ascii)
        throw VellumError(QStringLiteral("“%1”不是有效的整数，请输入一个整数。").arg(text));
    return *value;
}

QList<int> FilterPictures(const QList<PictureEntry>& entries, PictureFilterKind kind,
                          PictureFilterOp op, qint32 value, const QString& search) {
    QList<int> shown;
    if (kind == PictureFilterKind::Address && search.isEmpty())
        return shown;
    for (int i = 0; i < entries.size(); ++i) {
        const PictureEntry& e = entries[i];
        bool pass = false;
        switch (kind) {
        case PictureFilterKind::All:
            pass = true;
            break;
        case PictureFilterKind::Height:
        case PictureFilterKind::Width: {
            const qint32 v = kind == PictureFilterKind::Height ? e.height : e.width;
            pass = (op == PictureFilterOp::Greater && v > value) ||
                   (op == PictureFilterOp::Less && v < value);
            break;
        }
        case PictureFilterKind::Address: {
            const bool holds =
                AnsiCodePage::toUnicode(e.address).contains(search, Qt::CaseSensitive);
            pass = (op == PictureFilterOp::Contains && holds) ||
                   (op == PictureFilterOp::NotContains && !holds);
            break;
        }
        }
        if (pass)
            shown.append(i);
    }
    return shown;
}
