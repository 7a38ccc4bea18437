#pragma once
// A real small file system for full-disk tests: a tmpfs of a given size
// mounted over a folder, in a mount namespace of this test process's own (the
// mount vanishes with the process, and programs it starts see it too).
// ok() is false where the test may not mount; such tests skip.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

class SmallDisk {
  public:
    SmallDisk(const QString& dir, qint64 bytes) : m_dir(dir) {
        QDir().mkpath(dir);
        static const bool isolated =
            ::unshare(CLONE_NEWNS) == 0 &&
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
        m_ok = isolated && ::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0,
                                   options.constData()) == 0;
    }
    ~SmallDisk() {
        if (m_ok)
            ::umount2(QFile::encodeName(m_dir).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool ok() const { return m_ok; }
    qint64 freeBytes() const {
        struct statvfs st {};
        ::statvfs(QFile::encodeName(m_dir).constData(), &st);
        return qint64(st.f_bavail) * qint64(st.f_frsize);
    }
    // Fills the disk with a file "filler" until only about room bytes are free.
    void leaveFree(qint64 room) const {
        QFile filler(m_dir + QStringLiteral("/filler"));
        filler.open(QIODevice::Append);
        const QByteArray chunk(4096, 'x');
        while (freeBytes() > room + 4096 && filler.write(chunk) == chunk.size())
            filler.flush();
    }
    // Fills the disk to the last byte.
    void fill() const {
        leaveFree(0);
        QFile filler(m_dir + QStringLiteral("/filler"));
        filler.open(QIODevice::Append | QIODevice::Unbuffered);
        while (filler.write("x", 1) == 1) {
        }
    }
    void removeFiller() const { QFile::remove(m_dir + QStringLiteral("/filler")); }
    bool setReadOnly(bool on) const {
        return ::mount(nullptr, QFile::encodeName(m_dir).constData(), nullptr,
                       MS_REMOUNT | (on ? MS_RDONLY : 0), nullptr) == 0;
    }

  private:
    QString m_dir;
    bool m_ok = false;
};
