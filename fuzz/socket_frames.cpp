// The program's two local sockets read bytes from any local process: the
// capture socket's length-prefixed frames and the next-post socket's decimal
// lines. However the stream is cut into reads, the same commands come out, and
// they are exactly what an independent reading of the stream gives.
#include "FuzzSupport.h"
#include "platform/CaptureChannel.h"
#include "platform/NextPostChannel.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QtEndian>

#include <cstdlib>
#include <limits>

namespace {
// Cut points for the stream, taken from the input.
QList<QByteArrayView> Chunks(const QByteArray& stream, FuzzedDataProvider& cuts) {
    QList<QByteArrayView> out;
    qsizetype pos = 0;
    while (pos < stream.size()) {
        const qsizetype n = cuts.remaining_bytes()
                                ? qsizetype(cuts.ConsumeIntegralInRange<int>(0, 64))
                                : stream.size();
        const qsizetype take = std::min(n, stream.size() - pos);
        out.append(QByteArrayView(stream).sliced(pos, take));
        pos += take;
    }
    return out;
}

// Reference reading of the capture stream.
QList<QByteArray> ReferenceFrames(const QByteArray& s, bool* failed) {
    QList<QByteArray> frames;
    qsizetype pos = 0;
    *failed = false;
    while (s.size() - pos >= 4) {
        const quint32 length = qFromBigEndian<quint32>(s.constData() + pos);
        if (length > quint32(CaptureFrames::MaxCommand)) {
            *failed = true;
            break;
        }
        if (s.size() - pos - 4 < qsizetype(length))
            break;
        frames.append(s.mid(pos + 4, length));
        pos += 4 + length;
    }
    return frames;
}

// Reference reading of the next-post stream.
QList<int> ReferenceMessages(const QByteArray& s) {
    QList<int> out;
    qsizetype start = 0;
    for (qsizetype nl; (nl = s.indexOf('\n', start)) >= 0; start = nl + 1) {
        QByteArray line = s.mid(start, nl - start);
        if (line.size() > NextPostChannel::MaxLine)
            continue;
        if (line.endsWith('\r'))
            line.chop(1);
        qsizetype digits = 0;
        const qsizetype sign = (!line.isEmpty() && (line[0] == '+' || line[0] == '-')) ? 1 : 0;
        for (qsizetype i = sign; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i)
            ++digits;
        if (digits == 0 || digits > 10 || sign + digits != line.size())
            continue;
        const long long v = std::strtoll(line.constData(), nullptr, 10);
        if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
            continue;
        out.append(int(v));
    }
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const QByteArray stream = QByteArray::fromStdString(in.ConsumeRandomLengthString(size));
    const QList<QByteArrayView> chunks = Chunks(stream, in);

    // Capture frames.
    bool refFailed = false;
    const QList<QByteArray> expected = ReferenceFrames(stream, &refFailed);
    CaptureFrames whole;
    whole.feed(stream);
    CaptureFrames cut;
    QList<QByteArray> frames;
    for (const QByteArrayView chunk : chunks) {
        cut.feed(chunk);
        frames += cut.takeFrames();
    }
    FUZZ_CHECK(whole.takeFrames() == expected && frames == expected, stream);
    FUZZ_CHECK(whole.failed() == refFailed && cut.failed() == refFailed, stream);
    if (!refFailed) {
        // Framing the commands again gives the stream read so far.
        QByteArray again;
        for (const QByteArray& f : expected)
            again += CaptureFrames::frame(f);
        FUZZ_CHECK(again + stream.right(cut.pending()) == stream, stream, again);
    }

    // Next-post lines.
    const QList<int> messages = ReferenceMessages(stream);
    NextPostLines lines;
    QList<int> got;
    for (const QByteArrayView chunk : chunks)
        got += lines.feed(chunk);
    FUZZ_CHECK(got == messages, stream);
    return 0;
}
