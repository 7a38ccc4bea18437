#include "platform/SharedTextBlock.h"

#include "platform/AnsiCodePage.h"
#include "platform/Paths.h"
#include "platform/VellumError.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kPrefix[] = "BBSSETTEXT:";
const char kSplit[] = "$TCSPLIT$";

[[noreturn]] void fail() {
    throw VellumError(
        QStringLiteral("无法把当前帖子交给浏览器：运行文件夹中的共享数据块无法建立。"));
}

// Makes sure the file holds the whole block, so that writing through the
// view can never touch a page beyond its end.
bool ensureSize(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (st.st_size >= SharedTextBlock::Size)
        return true;
    // Reserve real pages where the file system can, so a full tmpfs fails
    // here instead of killing us with SIGBUS at the first write.
    const int rc = ::posix_fallocate(fd, 0, SharedTextBlock::Size);
    if (rc == 0)
        return true;
    if (rc != EOPNOTSUPP && rc != EINVAL)
        return false;
    return ::ftruncate(fd, SharedTextBlock::Size) == 0;
}

} // namespace

SharedTextBlock::SharedTextBlock(const QString& runtimeDir) : m_runtimeDir(runtimeDir) {}

SharedTextBlock::~SharedTextBlock() {
    if (m_view)
        ::munmap(m_view, Size);
    if (m_fd >= 0) {
        ::close(m_fd);
        // The block does not outlive the holder that created it: a fill
        // entry used after the program ended must not find the last post.
        if (m_created)
            ::unlink(QFile::encodeName(m_path).constData());
    }
}

qsizetype SharedTextBlock::characterBoundary(const QByteArray& text, qsizetype limit) {
    if (text.size() <= limit)
        return text.size();
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype next = i + AnsiCodePage::characterLength(text, i);
        if (next > limit)
            break;
        i = next;
    }
    return i;
}

QByteArray SharedTextBlock::blockText(const QByteArray& title, const QByteArray& content) {
    QByteArray text;
    text.reserve(sizeof kPrefix + title.size() + sizeof kSplit + content.size());
    text += kPrefix;
    text += title;
    text += kSplit;
    text += content;
    text.truncate(characterBoundary(text, MaxText));
    return text;
}

void SharedTextBlock::open() {
    QString dir = m_runtimeDir;
    if (dir.isEmpty()) {
        try {
            dir = Paths::runtimeDir();
        } catch (const VellumError&) {
            fail();
        }
    }
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    const QString path = dir + QStringLiteral("MapString");
    const QByteArray name = QFile::encodeName(path);
    // O_NOFOLLOW: the block is ours, never the target of a planted link.
    int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    const bool created = fd >= 0;
    if (!created && errno == EEXIST)
        fd = ::open(name.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        fail();
    if (::fchmod(fd, 0600) != 0 || !ensureSize(fd)) {
        ::close(fd);
        fail();
    }
    void* view = ::mmap(nullptr, Size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) {
        ::close(fd);
        fail();
    }
    m_fd = fd;
    m_view = static_cast<char*>(view);
    m_path = path;
    m_created = created;
}

void SharedTextBlock::removeLeftOver(const QString& runtimeDir) {
    QString dir = runtimeDir;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    ::unlink(QFile::encodeName(dir + QStringLiteral("MapString")).constData());
}

void SharedTextBlock::publish(const QByteArray& title, const QByteArray& content) {
    if (!m_view)
        open();
    // Another process may have shortened the file since; a write to a page
    // past its end would raise SIGBUS.
    else if (!ensureSize(m_fd))
        fail();
    const QByteArray text = blockText(title, content);
    std::memcpy(m_view, text.constData(), static_cast<size_t>(text.size()));
    m_view[text.size()] = '\0';
}

std::optional<QByteArray> SharedTextBlock::readText(const QString& runtimeDir) {
    QString dir = runtimeDir;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    const QByteArray name = QFile::encodeName(dir + QStringLiteral("MapString"));
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return std::nullopt;
    // Plain reads, not a mapping: a file shortened behind our back must not
    // raise SIGBUS here.
    QByteArray bytes(Size, Qt::Uninitialized);
    qsizetype filled = 0;
    while (filled < Size) {
        const ssize_t n = ::read(fd, bytes.data() + filled, static_cast<size_t>(Size - filled));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        filled += n;
    }
    ::close(fd);
    bytes.truncate(filled);
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return bytes;
}

std::optional<SharedTextBlock::Post> SharedTextBlock::splitText(const QByteArray& text) {
    if (!text.startsWith(kPrefix))
        return std::nullopt;
    const qsizetype prefix = qsizetype(sizeof kPrefix) - 1;
    const qsizetype split = text.indexOf(kSplit, prefix);
    if (split < 0)
        return std::nullopt;
    return Post{text.mid(prefix, split - prefix), text.mid(split + qsizetype(sizeof kSplit) - 1)};
}
