#include "platform/AnsiCodePage.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace AnsiCodePage {

QByteArray fromUnicode(const QString& text) {
    // Converters are not thread-safe; each thread keeps its own.
    thread_local QStringEncoder encoder("GB18030", QStringConverter::Flag::Stateless);
    if (text.isEmpty())
        return {};
    QByteArray out = encoder.encode(text);
    return out;
}

QString toUnicode(QByteArrayView bytes) {
    thread_local QStringDecoder decoder("GB18030", QStringConverter::Flag::Stateless);
    if (bytes.isEmpty())
        return {};
    QString out = decoder.decode(bytes);
    decoder.resetState();
    return out;
}

qsizetype characterLength(QByteArrayView text, qsizetype pos) {
    const auto at = [&](qsizetype k) { return static_cast<uchar>(text[k]); };
    const auto inRange = [](uchar b, uchar lo, uchar hi) { return b >= lo && b <= hi; };
    const qsizetype remaining = text.size() - pos;
    if (remaining < 2 || !inRange(at(pos), 0x81, 0xFE))
        return 1;
    const uchar second = at(pos + 1);
    if (inRange(second, 0x30, 0x39)) {
        if (remaining >= 4 && inRange(at(pos + 2), 0x81, 0xFE) && inRange(at(pos + 3), 0x30, 0x39))
            return 4;
        return 1;
    }
    if (inRange(second, 0x40, 0x7E) || inRange(second, 0x80, 0xFE))
        return 2;
    return 1;
}

} // namespace AnsiCodePage
