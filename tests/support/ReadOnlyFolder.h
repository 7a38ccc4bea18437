#pragma once
// A folder nobody may write into, also when the tests run as root: root's
// override of file permissions is switched off for this process (and the
// threads it starts) while the folder lives.
#include <QDir>
#include <QFile>
#include <QString>

#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

class ReadOnlyFolder {
  public:
    explicit ReadOnlyFolder(const QString& path) : m_path(path) {
        QDir().mkpath(path);
        ::chmod(QFile::encodeName(path).constData(), 0555);
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        if (::syscall(SYS_capget, &header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2];
        std::memcpy(reduced, m_saved, sizeof reduced);
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            reduced[cap / 32].effective &= ~(1u << (cap % 32));
        m_dropped = ::syscall(SYS_capset, &header, reduced) == 0;
    }
    ~ReadOnlyFolder() {
        if (m_dropped) {
            __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
            ::syscall(SYS_capset, &header, m_saved);
        }
        ::chmod(QFile::encodeName(m_path).constData(), 0755);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    QString file(const QString& name) const { return m_path + QLatin1Char('/') + name; }
    // False when a write there would succeed after all.
    bool holds() const {
        const QByteArray probe = QFile::encodeName(file(QStringLiteral(".probe")));
        const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            return true;
        ::close(fd);
        ::unlink(probe.constData());
        return false;
    }

  private:
    QString m_path;
    __user_cap_data_struct m_saved[2]{};
    bool m_dropped = false;
};
