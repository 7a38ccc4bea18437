#pragma once
// What a file on disk is, cheaply: device, inode, size and the modification
// and change times to the nanosecond. Any rename over the file, any write in
// place and any touch gives another identity, so comparing identities tells
// in one stat() whether a file is still the version the program read.
#include <QString>

#include <optional>
#include <sys/types.h>

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;

    bool operator==(const FileIdentity&) const = default;

    // The identity of what path names (links followed); nullopt when there is
    // nothing there.
    static std::optional<FileIdentity> ofPath(const QString& path);
    static std::optional<FileIdentity> ofDescriptor(int fd);
};
