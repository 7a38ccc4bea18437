#include "browser/host/NativeMessaging.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace NativeMessaging {

namespace {
// Fills the whole buffer; false at the end of the stream or on an error.
bool readFully(int fd, char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::read(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool skip(int fd, std::uint64_t size) {
    char chunk[65536];
    while (size > 0) {
        const size_t part = size < sizeof chunk ? size_t(size) : sizeof chunk;
        if (!readFully(fd, chunk, part))
            return false;
        size -= part;
    }
    return true;
}

bool writeFully(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}
} // namespace

Incoming read(int fd) {
    Incoming in;
    std::uint32_t length = 0;
    if (!readFully(fd, reinterpret_cast<char*>(&length), sizeof length))
        return in;
    in.announced = length;
    if (length > MaxIncoming) {
        if (skip(fd, length))
            in.status = Status::TooLong;
        return in;
    }
    in.body.resize(qsizetype(length));
    if (!readFully(fd, in.body.data(), length)) {
        in.body.clear();
        return in;
    }
    in.status = Status::Message;
    return in;
}

bool write(int fd, const QByteArray& body) {
    const std::uint32_t length = std::uint32_t(body.size());
    QByteArray out(sizeof length, Qt::Uninitialized);
    std::memcpy(out.data(), &length, sizeof length);
    out += body;
    return writeFully(fd, out.constData(), size_t(out.size()));
}

} // namespace NativeMessaging
