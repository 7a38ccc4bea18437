#pragma once
// The page's pictures as a browser script sends them: entries of address ";"
// width ";" height, each closed by "$$". Parsing and filtering, free of widgets.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

struct PictureEntry {
    QByteArray address;
    qint32 width = 0;
    qint32 height = 0;

    bool operator==(const PictureEntry&) const = default;
};

// Integer syntax of the platform's text-to-integer conversion: optional
// leading blanks, an optional sign, then decimal digits or a hexadecimal
// number after "$", "x", "X", "0x" or "0X". The value must fit a signed 32-bit
// integer. Anything else (empty text included) gives nullopt.
std::optional<qint32> ParseInteger(QByteArrayView text);

// Only pieces followed by "$$" are entries; the text after the last "$$" is
// dropped. Missing or non-numeric fields are an empty address or 0.
QList<PictureEntry> ParsePicturePayload(const QByteArray& payload);

enum class PictureFilterKind { All, Height, Width, Address };
enum class PictureFilterOp { Greater, Less, Contains, NotContains };

// The filter value of the value box: empty text is 0; anything that is not an
// integer, or is too large, throws VellumError("'<text>' is not a valid
// integer value").
qint32 FilterValue(const QString& text);

// Indices of the entries that pass, in array order. Comparisons are strict.
// For Address an empty search text passes nothing.
QList<int> FilterPictures(const QList<PictureEntry>& entries, PictureFilterKind kind,
                          PictureFilterOp op, qint32 value, const QString& search);
