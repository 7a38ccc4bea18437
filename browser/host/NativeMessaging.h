#pragma once
// The browser's native messaging framing on a pair of file descriptors: each
// message is a 32-bit length in native byte order, then that many bytes of
// UTF-8 JSON. A message that is too long is read past and reported, so the
// stream stays in step and the host can answer it and go on.
#include <QByteArray>

#include <cstdint>

namespace NativeMessaging {

// Longest message taken from the browser.
inline constexpr std::uint32_t MaxIncoming = 64u * 1024 * 1024;
// Chromium refuses a message to the extension of 1 MB or more.
inline constexpr qsizetype MaxReply = 1024 * 1024 - 1;

enum class Status { Message, TooLong, End };

struct Incoming {
    Status status = Status::End;
    QByteArray body;
    std::uint32_t announced = 0;
};

// Blocks until a whole message has arrived. End: the stream closed, also in
// the middle of a message (the browser has gone away).
Incoming read(int fd);
// Writes one message whole; false when the stream is closed.
bool write(int fd, const QByteArray& body);

} // namespace NativeMessaging
