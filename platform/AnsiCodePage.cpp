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

} // namespace AnsiCodePage
