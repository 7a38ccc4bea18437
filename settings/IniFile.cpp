#include "settings/IniFile.h"
#include "platform/AtomicFile.h"

#include "platform/VellumError.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include "platform/SystemErrorText.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

struct Line {
    QByteArray text; // without its line break
    QByteArray eol;  // "\r\n", "\n", "\r" or empty for an unterminated last line
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView v) {
    qsizetype b = 0;
    qsizetype e = v.size();
    while (b < e && isBlank(v[b]))
        ++b;
    while (e > b && isBlank(v[e - 1]))
        --e;
    return v.sliced(b, e - b);
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// Names fold only ASCII letters: bytes of a multi-byte character stay as they
// are.
bool sameName(QByteArrayView a, QByteArrayView b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

QList<Line> splitLines(const QByteArray& data) {
    QList<Line> lines;
    qsizetype start = 0;
    const qsizetype n = data.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = data[i];
        if (c != '\n' && c != '\r')
            continue;
        Line line;
        line.text = data.mid(start, i - start);
        if (c == '\r' && i + 1 < n && data[i + 1] == '\n') {
            line.eol = QByteArrayLiteral("\r\n");
            ++i;
        } else {
            line.eol = QByteArray(1, c);
        }
        lines.append(std::move(line));
        start = i + 1;
    }
    if (start < n)
        lines.append(Line{data.mid(start), QByteArray()});
    return lines;
}

QByteArray joinLines(const QList<Line>& lines) {
    QByteArray out;
    for (const Line& line : lines) {
        out += line.text;
        out += line.eol;
    }
    return out;
}

// New lines take the style of the file's first line break; a new file gets
// CR LF like every other text file of the program.
QByteArray lineEndStyle(const QList<Line>& lines) {
    for (const Line& line : lines) {
        if (!line.eol.isEmpty())
            return line.eol;
    }
    return QByteArrayLiteral("\r\n");
}

bool sectionName(QByteArrayView text, QByteArrayView* name) {
    const QByteArrayView t = trimmed(text);
    if (t.isEmpty() || t[0] != '[')
        return false;
    QByteArrayView inner = t.sliced(1);
    const qsizetype close = inner.indexOf(']');
    if (close >= 0)
        inner = inner.first(close);
    *name = trimmed(inner);
    return true;
}

// A key line holds an equals sign and is neither a section header nor a
// comment.
bool keyLine(QByteArrayView text, QByteArrayView* name, qsizetype* equals) {
    const QByteArrayView t = trimmed(text);
    if (t.isEmpty() || t[0] == '[' || t[0] == ';')
        return false;
    const qsizetype eq = text.indexOf('=');
    if (eq < 0)
        return false;
    *name = trimmed(text.first(eq));
    *equals = eq;
    return true;
}

QByteArray valueOf(QByteArrayView text, qsizetype equals) {
    QByteArrayView v = trimmed(text.sliced(equals + 1));
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v[v.size() - 1] == v[0])
        v = v.sliced(1, v.size() - 2);
    return v.toByteArray();
}

// A value that would lose something on reading (blanks at its ends, or a pair
// of quotes of its own) is written inside double quotes, which reading takes
// off again.
QByteArray encodeValue(QByteArrayView value) {
    const bool blankEnds = !value.isEmpty() && (isBlank(value[0]) || isBlank(value.back()));
    const bool quoted =
        value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0];
    QByteArray out;
    if (blankEnds || quoted) {
        out.reserve(value.size() + 2);
        out += '"';
        out += value;
        out += '"';
    } else {
        out = value.toByteArray();
    }
    return out;
}

struct Location {
    qsizetype section = -1; // header line
    qsizetype end = -1;     // first line after the section
    qsizetype lastKey = -1; // last key line of the section
    qsizetype key = -1;     // first line of the wanted key
    qsizetype equals = -1;
};

Location locate(const QList<Line>& lines, QByteArrayView section, QByteArrayView key,
                qsizetype from = 0) {
    Location loc;
    const QByteArrayView wantSection = trimmed(section);
    const QByteArrayView wantKey = trimmed(key);
    for (qsizetype i = from; i < lines.size(); ++i) {
        QByteArrayView name;
        if (sectionName(lines[i].text, &name)) {
            if (loc.section >= 0) {
                loc.end = i;
                return loc;
            }
            if (sameName(name, wantSection))
                loc.section = i;
            continue;
        }
        if (loc.section < 0)
            continue;
        qsizetype eq = -1;
        if (keyLine(lines[i].text, &name, &eq)) {
            loc.lastKey = i;
            if (loc.key < 0 && !wantKey.isNull() && sameName(name, wantKey)) {
                loc.key = i;
                loc.equals = eq;
            }
        }
    }
    if (loc.section >= 0)
        loc.end = lines.size();
    return loc;
}

// Opened without blocking (a FIFO would wait for a writer for ever), and
// read only when it is a regular file.
QByteArray readFileOrEmpty(const QString& path, QString* problem = nullptr) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (problem)
            *problem = SystemErrorText::of(errno);
        return {};
    }
    struct stat st {};
    QFile file;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (problem)
            *problem = S_ISFIFO(st.st_mode) ? QStringLiteral("它是命名管道，不是普通文件")
                       : S_ISDIR(st.st_mode) ? QStringLiteral("它是文件夹，不是普通文件")
                                             : QStringLiteral("它不是普通文件");
        ::close(fd);
        return {};
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        if (problem)
            *problem = file.errorString();
        return {};
    }
    return file.readAll();
}

// The identity of a file's contents as far as stat tells.
struct Stamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = -1;
    timespec mtime{};
    timespec ctime{};
    bool operator==(const Stamp& o) const {
        return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
               ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

bool stampOf(const QString& path, Stamp* stamp) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    *stamp = {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
    return true;
}

// The parsed lines of a file, read again only when the file changed.
QByteArray foldedName(QByteArrayView name) {
    QByteArray out = name.toByteArray();
    for (char& c : out)
        c = asciiLower(c);
    return out;
}

// A file's lines with the line of the first header of each section, so that
// a read goes straight to its section.
struct Parsed {
    QList<Line> lines;
    QHash<QByteArray, qsizetype> sections;

    explicit Parsed(QList<Line> l) : lines(std::move(l)) {
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QByteArrayView name;
            if (sectionName(lines[i].text, &name)) {
                const QByteArray folded = foldedName(name);
                if (!sections.contains(folded))
                    sections.insert(folded, i);
            }
        }
    }
    Location find(QByteArrayView section, QByteArrayView key) const {
        const auto it = sections.constFind(foldedName(trimmed(section)));
        if (it == sections.constEnd())
            return {};
        return locate(lines, section, key, *it);
    }
};

// Parsed files by path, each with the stamp of the file it was read from.
struct LineCache {
    struct Entry {
        Stamp stamp;
        std::shared_ptr<const Parsed> lines;
    };
    std::mutex mutex;
    QHash<QString, Entry> entries;

    static LineCache& instance() {
        static LineCache cache;
        return cache;
    }
    std::shared_ptr<const Parsed> find(const QString& path, const Stamp& stamp) {
        const std::lock_guard<std::mutex> guard(mutex);
        const auto it = entries.constFind(path);
        return it != entries.constEnd() && it->stamp == stamp ? it->lines : nullptr;
    }
    void put(const QString& path, const Stamp& stamp, std::shared_ptr<const Parsed> lines) {
        const std::lock_guard<std::mutex> guard(mutex);
        entries.insert(path, Entry{stamp, std::move(lines)});
    }
};

// The parsed lines of a file, read again only when the file changed.
std::shared_ptr<const Parsed> linesOf(const QString& path) {
    Stamp before;
    if (!stampOf(path, &before))
        return std::make_shared<const Parsed>(splitLines(readFileOrEmpty(path)));
    if (auto cached = LineCache::instance().find(path, before))
        return cached;
    auto lines = std::make_shared<const Parsed>(splitLines(readFileOrEmpty(path)));
    Stamp after;
    // Kept only when the file did not change while it was read, and when its
    // last change is old enough that another change could not carry the same
    // time stamp (file times advance in ticks of a few milliseconds).
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const auto settled = [&](const timespec& t) {
        constexpr qint64 kTickMarginNs = 100'000'000;
        return (qint64(now.tv_sec) - t.tv_sec) * 1'000'000'000 + (now.tv_nsec - t.tv_nsec) >
               kTickMarginNs;
    };
    if (stampOf(path, &after) && after == before && settled(after.mtime) && settled(after.ctime))
        LineCache::instance().put(path, after, lines);
    return lines;
}

[[noreturn]] void failWrite(const QString& path) {
    throw VellumError(QStringLiteral("无法写入设置文件“%1”。").arg(path));
}

// Reads the file for a change. A file that exists but cannot be read must not
// be replaced by a file that holds only the new key.
QList<Line> loadForWrite(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return {};
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        failWrite(path);
    return splitLines(file.readAll());
}

void store(const QString& path, const QList<Line>& lines) {
    const QByteArray data = joinLines(lines);
    if (!AtomicFile::write(path, data))
        failWrite(path);
    // The file just written is a new inode of ours, and its lines are known:
    // the reads that follow a write (a start-up writes ldate first) need not
    // read it again.
    Stamp stamp;
    if (stampOf(path, &stamp))
        LineCache::instance().put(path, stamp, std::make_shared<const Parsed>(lines));
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

QString IniFile::readProblem(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {};
    QString reason;
    const QByteArray data = readFileOrEmpty(path, &reason);
    if (reason.isEmpty() && !data.isEmpty()) {
        // Settings are text in sections; a file without a single section, or
        // with NUL bytes, is something else that took its place.
        bool section = false;
        for (const Line& line : splitLines(data)) {
            QByteArrayView name;
            if (sectionName(line.text, &name)) {
                section = true;
                break;
            }
        }
        if (data.contains('\0'))
            reason = QStringLiteral("它含有空字符（NUL），不是文本文件");
        else if (!section)
            reason = QStringLiteral("其中没有任何设置节，不像是设置文件");
    }
    if (reason.isEmpty())
        return {};
    return QStringLiteral("无法读取设置文件“%1”（%2）。本次运行使用默认设置，所有分类标签都不显示；"
                          "请检查这个文件后重新启动。")
        .arg(path, reason);
}

bool IniFile::parseInteger(QByteArrayView text, int* value) {
    QByteArrayView t = trimmed(text);
    bool negative = false;
    if (!t.isEmpty() && (t[0] == '+' || t[0] == '-')) {
        negative = t[0] == '-';
        t = t.sliced(1);
    }
    if (t.isEmpty())
        return false;
    qint64 result = 0;
    if (t.size() >= 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        t = t.sliced(2);
        if (t.isEmpty())
            return false;
        for (char c : t) {
            int digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                return false;
            result = result * 16 + digit;
            if (result > 0xFFFFFFFFLL)
                return false;
        }
        // Hexadecimal spells the 32 bits, so 0xFFFFFFFF is -1.
        qint64 v = static_cast<qint32>(static_cast<quint32>(result));
        if (negative)
            v = -v;
        if (v > 0x7FFFFFFFLL)
            return false;
        *value = static_cast<int>(v);
        return true;
    }
    for (char c : t) {
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + (c - '0');
        if (result > 0x80000000LL)
            return false;
    }
    if (negative)
        result = -result;
    if (result > 0x7FFFFFFFLL)
        return false;
    *value = static_cast<int>(result);
    return true;
}

QByteArray IniFile::readString(QByteArrayView section, QByteArrayView key,
                               const QByteArray& defaultValue) const {
    const auto parsed = linesOf(m_path);
    const QList<Line>& lines = parsed->lines;
    const Location loc = parsed->find(section, key);
    if (loc.key < 0)
        return defaultValue;
    return valueOf(lines[loc.key].text, loc.equals);
}

int IniFile::readInteger(QByteArrayView section, QByteArrayView key, int defaultValue) const {
    const auto parsed = linesOf(m_path);
    const QList<Line>& lines = parsed->lines;
    const Location loc = parsed->find(section, key);
    if (loc.key < 0)
        return defaultValue;
    int value = 0;
    if (!parseInteger(valueOf(lines[loc.key].text, loc.equals), &value))
        return defaultValue;
    return value;
}

bool IniFile::readBool(QByteArrayView section, QByteArrayView key, bool defaultValue) const {
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool IniFile::sectionExists(QByteArrayView section) const {
    return linesOf(m_path)->find(section, QByteArrayView()).section >= 0;
}

bool IniFile::valueExists(QByteArrayView section, QByteArrayView key) const {
    return linesOf(m_path)->find(section, key).key >= 0;
}

QList<QByteArray> IniFile::sectionKeys(QByteArrayView section) const {
    const auto parsed = linesOf(m_path);
    const QList<Line>& lines = parsed->lines;
    const Location loc = parsed->find(section, QByteArrayView());
    QList<QByteArray> keys;
    if (loc.section < 0)
        return keys;
    for (qsizetype i = loc.section + 1; i < loc.end; ++i) {
        QByteArrayView name;
        qsizetype eq = -1;
        if (keyLine(lines[i].text, &name, &eq))
            keys.append(name.toByteArray());
    }
    return keys;
}

void IniFile::writeString(QByteArrayView section, QByteArrayView key, QByteArrayView value) const {
    // A line break would end the value and start a line of its own.
    if (value.contains('\n') || value.contains('\r'))
        failWrite(m_path);
    QList<Line> lines = loadForWrite(m_path);
    const QByteArray eol = lineEndStyle(lines);
    const QByteArray encoded = encodeValue(value);
    const Location loc = locate(lines, section, key);
    if (loc.key >= 0) {
        // Keep the spacing around the old value; change the value text only.
        Line& line = lines[loc.key];
        const qsizetype restStart = loc.equals + 1;
        const QByteArrayView rest = QByteArrayView(line.text).sliced(restStart);
        qsizetype lead = 0;
        while (lead < rest.size() && isBlank(rest[lead]))
            ++lead;
        qsizetype trail = 0;
        if (lead < rest.size()) {
            while (trail < rest.size() && isBlank(rest[rest.size() - 1 - trail]))
                ++trail;
        }
        line.text = line.text.left(restStart + lead) + encoded + line.text.right(trail);
    } else if (loc.section >= 0) {
        const qsizetype after = loc.lastKey >= 0 ? loc.lastKey : loc.section;
        if (lines[after].eol.isEmpty())
            lines[after].eol = eol;
        lines.insert(after + 1, Line{trimmed(key).toByteArray() + '=' + encoded, eol});
    } else {
        if (!lines.isEmpty()) {
            if (lines.back().eol.isEmpty())
                lines.back().eol = eol;
            if (!trimmed(lines.back().text).isEmpty())
                lines.append(Line{QByteArray(), eol});
        }
        lines.append(Line{'[' + trimmed(section).toByteArray() + ']', eol});
        lines.append(Line{trimmed(key).toByteArray() + '=' + encoded, eol});
    }
    store(m_path, lines);
}

void IniFile::writeInteger(QByteArrayView section, QByteArrayView key, int value) const {
    writeString(section, key, QByteArray::number(value));
}

void IniFile::writeBool(QByteArrayView section, QByteArrayView key, bool value) const {
    writeString(section, key, value ? QByteArrayView("1") : QByteArrayView("0"));
}

void IniFile::deleteKey(QByteArrayView section, QByteArrayView key) const {
    if (!QFile::exists(m_path))
        return;
    QList<Line> lines = loadForWrite(m_path);
    const Location loc = locate(lines, section, key);
    if (loc.key < 0)
        return;
    const QByteArrayView wantKey = trimmed(key);
    qsizetype removed = 0;
    for (qsizetype i = loc.end - 1; i >= loc.key; --i) {
        QByteArrayView name;
        qsizetype eq = -1;
        if (keyLine(lines[i].text, &name, &eq) && sameName(name, wantKey)) {
            lines.removeAt(i);
            ++removed;
        }
    }
    if (removed > 0)
        store(m_path, lines);
}

void IniFile::eraseSection(QByteArrayView section) const {
    if (!QFile::exists(m_path))
        return;
    QList<Line> lines = loadForWrite(m_path);
    const Location loc = locate(lines, section, QByteArrayView());
    if (loc.section < 0)
        return;
    lines.remove(loc.section, loc.end - loc.section);
    store(m_path, lines);
}
