// The code page both ways: every Unicode scalar value survives GB18030 and
// back, every valid GB18030 text survives Unicode and back, and the character
// walk used to cut texts finds the same characters the decoder does.
#include "FuzzSupport.h"
#include "platform/AnsiCodePage.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QList>

namespace {
// Character lengths found by the walk over the whole text.
QList<qsizetype> Walk(const QByteArray& bytes) {
    QList<qsizetype> out;
    for (qsizetype pos = 0; pos < bytes.size();) {
        const qsizetype n = AnsiCodePage::characterLength(bytes, pos);
        FUZZ_CHECK(n == 1 || n == 2 || n == 4);
        out.append(n);
        pos += n;
    }
    return out;
}

void UnicodeRoundTrip(FuzzedDataProvider& in) {
    QString text;
    for (int i = 0; i < 64 && in.remaining_bytes() >= 3; ++i) {
        char32_t c = in.ConsumeIntegralInRange<char32_t>(0, 0x10FFFF);
        if (c >= 0xD800 && c <= 0xDFFF)
            continue; // not a scalar value
        text += QString::fromUcs4(&c, 1);
    }
    const QByteArray bytes = AnsiCodePage::fromUnicode(text);
    FUZZ_CHECK(AnsiCodePage::toUnicode(bytes) == text, text.toUtf8(), bytes);
    // One walked character per scalar value.
    FUZZ_CHECK(Walk(bytes).size() == text.toUcs4().size(), text.toUtf8(), bytes);
}

void BytesRoundTrip(FuzzedDataProvider& in) {
    static const QByteArray replacement = AnsiCodePage::fromUnicode(QString(QChar(0xFFFD)));
    QByteArray bytes;
    QList<qsizetype> lengths;
    while (in.remaining_bytes() > 0) {
        QByteArray c;
        switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0:
            c += char(in.ConsumeIntegralInRange<int>(0, 0x7F));
            break;
        case 1: {
            c += char(in.ConsumeIntegralInRange<int>(0x81, 0xFE));
            const int t = in.ConsumeIntegralInRange<int>(0x40, 0xFD);
            c += char(t >= 0x7F ? t + 1 : t); // 0x40-0x7E, 0x80-0xFE
            break;
        }
        default:
            c += char(in.ConsumeIntegralInRange<int>(0x81, 0xFE));
            c += char(in.ConsumeIntegralInRange<int>(0x30, 0x39));
            c += char(in.ConsumeIntegralInRange<int>(0x81, 0xFE));
            c += char(in.ConsumeIntegralInRange<int>(0x30, 0x39));
        }
        // Sequences that stand for no character are not valid text.
        const QString one = AnsiCodePage::toUnicode(c);
        if (one.contains(QChar(0xFFFD)) && c != replacement)
            continue;
        FUZZ_CHECK(one.toUcs4().size() == 1, c, one.toUtf8());
        bytes += c;
        lengths.append(c.size());
    }
    const QString text = AnsiCodePage::toUnicode(bytes);
    FUZZ_CHECK(AnsiCodePage::fromUnicode(text) == bytes, bytes, text.toUtf8());
    FUZZ_CHECK(Walk(bytes) == lengths, bytes);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    if (in.ConsumeBool())
        UnicodeRoundTrip(in);
    else
        BytesRoundTrip(in);
    // Any bytes at all decode, and the walk never runs past the end.
    const QByteArray raw(reinterpret_cast<const char*>(data), qsizetype(size));
    Walk(raw);
    AnsiCodePage::toUnicode(raw);
    return 0;
}
