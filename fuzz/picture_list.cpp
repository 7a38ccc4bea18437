// The page's picture list as a browser script sends it: entries parse the
// same when written out again, numbers read as the platform reads them, and
// the filters split the list cleanly.
#include "FuzzSupport.h"
#include "net/PictureList.h"
#include "platform/VellumError.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

namespace {
QList<int> Filter(const QList<PictureEntry>& entries, PictureFilterKind kind, PictureFilterOp op,
                  qint32 value, const QString& search) {
    const QList<int> shown = FilterPictures(entries, kind, op, value, search);
    for (qsizetype i = 0; i < shown.size(); ++i)
        FUZZ_CHECK(shown[i] >= 0 && shown[i] < entries.size() &&
                   (i == 0 || shown[i - 1] < shown[i]));
    return shown;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const QString valueText =
        QString::fromUtf8(QByteArray::fromStdString(in.ConsumeRandomLengthString(16)));
    const QString search =
        QString::fromUtf8(QByteArray::fromStdString(in.ConsumeRandomLengthString(8)));
    const QByteArray payload = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());

    const QList<PictureEntry> entries = ParsePicturePayload(payload);
    FUZZ_CHECK(entries.size() <= payload.count("$$"));
    // Written out again, the entries parse to themselves.
    QByteArray written;
    for (const PictureEntry& e : entries) {
        FUZZ_CHECK(!e.address.contains(';') && !e.address.contains("$$"), e.address);
        written += e.address + ';' + QByteArray::number(e.width) + ';' +
                   QByteArray::number(e.height) + "$$";
    }
    FUZZ_CHECK(ParsePicturePayload(written) == entries, payload, written);

    // Numbers: what parses is what a plain reading of the digits gives.
    const QByteArray number = valueText.toLatin1();
    if (const std::optional<qint32> v = ParseInteger(number)) {
        FUZZ_CHECK(ParseInteger(QByteArray::number(*v)) == *v, number);
        QByteArray digits = number.trimmed();
        const bool negative = digits.startsWith('-');
        if (negative || digits.startsWith('+'))
            digits.remove(0, 1);
        int base = 10;
        if (digits.startsWith('$') || digits.startsWith('x') || digits.startsWith('X'))
            digits.remove(0, 1), base = 16;
        else if (digits.startsWith("0x") || digits.startsWith("0X"))
            digits.remove(0, 2), base = 16;
        const long long magnitude = std::strtoll(digits.constData(), nullptr, base);
        FUZZ_CHECK(qint64(*v) == (negative ? -magnitude : magnitude), number);
    }
    qint32 value = 0;
    try {
        value = FilterValue(valueText);
    } catch (const VellumError& e) {
        FUZZ_CHECK(!e.message().isEmpty());
    }

    // The filters: all, and each pair of opposites splits the list in two.
    FUZZ_CHECK(
        Filter(entries, PictureFilterKind::All, PictureFilterOp::Greater, value, search).size() ==
        entries.size());
    for (PictureFilterKind kind : {PictureFilterKind::Height, PictureFilterKind::Width}) {
        const QList<int> greater = Filter(entries, kind, PictureFilterOp::Greater, value, search);
        const QList<int> less = Filter(entries, kind, PictureFilterOp::Less, value, search);
        for (int i : greater)
            FUZZ_CHECK(!less.contains(i));
    }
    const QList<int> holds =
        Filter(entries, PictureFilterKind::Address, PictureFilterOp::Contains, value, search);
    const QList<int> lacks =
        Filter(entries, PictureFilterKind::Address, PictureFilterOp::NotContains, value, search);
    FUZZ_CHECK(search.isEmpty() ? holds.isEmpty() && lacks.isEmpty()
                                : holds.size() + lacks.size() == entries.size());
    return 0;
}
