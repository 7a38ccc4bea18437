#include "platform/KeyStore.h"
#include "platform/AtomicFile.h"

#include "platform/Paths.h"
#include "platform/VellumError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <vector>

namespace {

const QString kHeader = QStringLiteral("Windows Registry Editor Version 5.00");

enum class Kind { String, Dword, Raw };

struct Value {
    QString name; // empty: the key's default value
    Kind kind = Kind::String;
    QString text;       // String: the text; Raw: everything after '='
    quint32 number = 0; // Dword
};

struct Section {
    QString path; // full path, hive name first
    std::vector<Value> values;
};

using Hive = KeyStore::Hive;

QString hiveName(Hive hive) {
    return hive == Hive::CurrentUser ? QStringLiteral("HKEY_CURRENT_USER")
                                     : QStringLiteral("HKEY_LOCAL_MACHINE");
}

QString registryDir() {
    return Paths::configHome() + QStringLiteral("vellum/registry/");
}

// "Software\\\\Vellum\\" and "\\Software\\Vellum" name the same key.
QString fullPath(Hive hive, const QString& key) {
    QStringList parts = key.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    parts.prepend(hiveName(hive));
    return parts.join(QLatin1Char('\\'));
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isBelow(const QString& path, const QString& key) {
    return path.size() > key.size() && path.at(key.size()) == QLatin1Char('\\') &&
           sameName(path.left(key.size()), key);
}

QString quote(const QString& text) {
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '"':
            out += QStringLiteral("\\\"");
            break;
        // A raw line break would end the value line.
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case '\0':
            out += QStringLiteral("\\0");
            break;
        default:
            out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

// Reads a quoted string starting at line[pos] == '"'; pos ends after the
// closing quote. False when the string is not closed.
bool unquote(const QString& line, qsizetype& pos, QString& out) {
    out.clear();
    ++pos;
    while (pos < line.size()) {
        const QChar c = line.at(pos++);
        if (c == QLatin1Char('"'))
            return true;
        if (c != QLatin1Char('\\')) {
            out += c;
            continue;
        }
        if (pos >= line.size())
            return false;
        const QChar e = line.at(pos++);
        switch (e.unicode()) {
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case '0':
            out += QChar(0);
            break;
        default:
            out += e;
        }
    }
    return false;
}

bool isHexData(const QString& data) {
    return data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive);
}

bool parseValue(const QString& line, Value& value) {
    qsizetype pos = 0;
    if (line.startsWith(QLatin1Char('@'))) {
        value.name.clear();
        pos = 1;
    } else if (line.startsWith(QLatin1Char('"'))) {
        if (!unquote(line, pos, value.name))
            return false;
    } else {
        return false;
    }
    while (pos < line.size() && line.at(pos).isSpace())
        ++pos;
    if (pos >= line.size() || line.at(pos) != QLatin1Char('='))
        return false;
    ++pos;
    while (pos < line.size() && line.at(pos).isSpace())
        ++pos;
    const QString rest = line.mid(pos);
    if (rest.startsWith(QLatin1Char('"'))) {
        qsizetype p = 0;
        QString text;
        if (!unquote(rest, p, text))
            return false;
        value.kind = Kind::String;
        value.text = text;
        return true;
    }
    if (rest.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
        const QString digits = rest.mid(6).trimmed();
        bool ok = false;
        const uint number = digits.toUInt(&ok, 16);
        if (!ok || digits.isEmpty() || digits.size() > 8)
            return false;
        value.kind = Kind::Dword;
        value.number = number;
        return true;
    }
    if (rest.isEmpty() || rest == QLatin1String("-"))
        return false;
    // hex:, hex(7): and friends are kept as they are so that a rewrite loses nothing.
    value.kind = Kind::Raw;
    value.text = rest;
    // A continuation mark with nothing after it would join the next line
    // when the file is read again.
    if (isHexData(rest)) {
        while (value.text.endsWith(QLatin1Char('\\')) || value.text.back().isSpace())
            value.text.chop(1);
    }
    return true;
}

// A line of a binary value that goes on in the next line; a name that
// merely holds "=hex" does not make one.
bool continuesHex(const QString& line) {
    const QString trimmed = line.trimmed();
    qsizetype pos = 0;
    QString name;
    if (trimmed.startsWith(QLatin1Char('"'))) {
        if (!unquote(trimmed, pos, name))
            return false;
    } else if (trimmed.startsWith(QLatin1Char('@'))) {
        pos = 1;
    } else {
        return false;
    }
    const QString rest = trimmed.mid(pos).trimmed();
    return rest.startsWith(QLatin1Char('=')) && isHexData(rest.mid(1).trimmed());
}

class HiveFile {
  public:
    explicit HiveFile(Hive hive) : m_hive(hive), m_path(KeyStore::hiveFile(hive)) {}

    // False when the file exists but cannot be read; a garbled file yields
    // whatever of it parses.
    bool load() {
        m_sections.clear();
        m_loaded.clear();
        QFile file(m_path);
        if (!file.exists())
            return true;
        if (!file.open(QIODevice::ReadOnly))
            return false;
        m_loaded = file.readAll();
        parse(QString::fromUtf8(m_loaded));
        return true;
    }

    void save(const QString& errorMessage) const {
        const auto fail = [&] { throw VellumError(errorMessage); };
        if (!QDir().mkpath(registryDir()))
            fail();
        QString text = kHeader + QStringLiteral("\r\n\r\n");
        for (const Section& s : m_sections) {
            text += QLatin1Char('[') + s.path + QStringLiteral("]\r\n");
            for (const Value& v : s.values) {
                text += v.name.isEmpty() ? QStringLiteral("@") : quote(v.name);
                text += QLatin1Char('=');
                switch (v.kind) {
                case Kind::String:
                    text += quote(v.text);
                    break;
                case Kind::Dword:
                    text += QStringLiteral("dword:%1").arg(v.number, 8, 16, QLatin1Char('0'));
                    break;
                case Kind::Raw:
                    text += v.text;
                    break;
                }
                text += QStringLiteral("\r\n");
            }
            text += QStringLiteral("\r\n");
        }
        const QByteArray bytes = text.toUtf8();
        // The browser entries are registered at every start; a hive that
        // already holds them is not written again.
        if (bytes == m_loaded && QFile::exists(m_path))
            return;
        if (!AtomicFile::write(m_path, bytes))
            fail();
    }

    Section* find(const QString& key) {
        const QString path = fullPath(m_hive, key);
        for (Section& s : m_sections)
            if (sameName(s.path, path))
                return &s;
        return nullptr;
    }

    Section& findOrCreate(const QString& key) {
        if (Section* s = find(key))
            return *s;
        m_sections.push_back(Section{fullPath(m_hive, key), {}});
        return m_sections.back();
    }

    // Removes the key and everything below it; true when something went.
    bool removeKey(const QString& key) {
        const QString path = fullPath(m_hive, key);
        const auto before = m_sections.size();
        std::erase_if(m_sections, [&](const Section& s) {
            return sameName(s.path, path) || isBelow(s.path, path);
        });
        return m_sections.size() != before;
    }

  private:
    void parse(const QString& text) {
        Section* current = nullptr;
        const QString rootPrefix = hiveName(m_hive);
        QStringList lines = text.split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QString line = lines.at(i);
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
            if (i == 0 && line.startsWith(QChar(0xFEFF)))
                line.remove(0, 1);
            // Binary values may run over several lines ending in '\'.
            while (line.endsWith(QLatin1Char('\\')) && continuesHex(line) && i + 1 < lines.size()) {
                line.chop(1);
                QString next = lines.at(++i);
                if (next.endsWith(QLatin1Char('\r')))
                    next.chop(1);
                line += next.trimmed();
            }
            const QString trimmed = line.trimmed();
            if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')) || trimmed == kHeader)
                continue;
            if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
                const QString path = trimmed.mid(1, trimmed.size() - 2);
                // Sections of another hive or deletions do not belong here.
                if (path.startsWith(QLatin1Char('-')) ||
                    !(sameName(path, rootPrefix) || isBelow(path, rootPrefix))) {
                    current = nullptr;
                    continue;
                }
                current = &findOrCreate(path.mid(rootPrefix.size()));
                continue;
            }
            if (!current)
                continue;
            Value value;
            if (!parseValue(trimmed, value))
                continue;
            put(*current, std::move(value));
        }
    }

  public:
    static void put(Section& section, Value value) {
        for (Value& v : section.values) {
            if (sameName(v.name, value.name)) {
                value.name = v.name;
                v = std::move(value);
                return;
            }
        }
        section.values.push_back(std::move(value));
    }

  private:
    Hive m_hive;
    QString m_path;
    // std::vector keeps the file's order; findOrCreate's pointer is used
    // before the next insertion only.
    std::vector<Section> m_sections;
    QByteArray m_loaded;
};

// The user knows the file, not the value's name; the name follows for the
// curious.
QString failedToSet(Hive hive, const QString& name) {
    return QStringLiteral("无法写入设置文件“%1”，设置项“%2”没有保存。")
        .arg(KeyStore::hiveFile(hive), name);
}

void setValue(Hive hive, const QString& key, Value value) {
    HiveFile file(hive);
    const QString name = value.name;
    // An unreadable hive is not overwritten: that would lose its other keys.
    if (!file.load())
        throw VellumError(failedToSet(hive, name));
    HiveFile::put(file.findOrCreate(key), std::move(value));
    file.save(failedToSet(hive, name));
}

const Value* lookup(HiveFile& file, const QString& key, const QString& name) {
    const Section* s = file.find(key);
    if (!s)
        return nullptr;
    for (const Value& v : s->values)
        if (sameName(v.name, name))
            return &v;
    return nullptr;
}

} // namespace

namespace KeyStore {

QString hiveFile(Hive hive) {
    return registryDir() + hiveName(hive) + QStringLiteral(".reg");
}

void setString(Hive hive, const QString& key, const QString& name, const QString& value) {
    Value v;
    v.name = name;
    v.kind = Kind::String;
    v.text = value;
    setValue(hive, key, std::move(v));
}

void setDword(Hive hive, const QString& key, const QString& name, quint32 value) {
    Value v;
    v.name = name;
    v.kind = Kind::Dword;
    v.number = value;
    setValue(hive, key, std::move(v));
}

void setValues(Hive hive, const std::vector<Write>& writes) {
    if (writes.empty())
        return;
    const QString message = failedToSet(hive, writes.front().name);
    HiveFile file(hive);
    if (!file.load())
        throw VellumError(message);
    for (const Write& w : writes) {
        Value v;
        v.name = w.name;
        if (const auto* text = std::get_if<QString>(&w.value)) {
            v.kind = Kind::String;
            v.text = *text;
        } else {
            v.kind = Kind::Dword;
            v.number = std::get<quint32>(w.value);
        }
        HiveFile::put(file.findOrCreate(w.key), std::move(v));
    }
    file.save(message);
}

void deleteValue(Hive hive, const QString& key, const QString& name) {
    HiveFile file(hive);
    if (!file.load())
        throw VellumError(QStringLiteral("无法从设置存储中删除“%1”").arg(name));
    Section* s = file.find(key);
    if (!s)
        return;
    const auto before = s->values.size();
    std::erase_if(s->values, [&](const Value& v) { return sameName(v.name, name); });
    if (s->values.size() != before)
        file.save(QStringLiteral("无法从设置存储中删除“%1”").arg(name));
}

void deleteKey(Hive hive, const QString& key) {
    HiveFile file(hive);
    if (!file.load())
        throw VellumError(QStringLiteral("无法从设置存储中删除“%1”").arg(key));
    if (file.removeKey(key))
        file.save(QStringLiteral("无法从设置存储中删除“%1”").arg(key));
}

std::optional<QString> readString(Hive hive, const QString& key, const QString& name) {
    HiveFile file(hive);
    if (!file.load())
        return std::nullopt;
    const Value* v = lookup(file, key, name);
    if (!v || v->kind != Kind::String)
        return std::nullopt;
    return v->text;
}

std::optional<quint32> readDword(Hive hive, const QString& key, const QString& name) {
    HiveFile file(hive);
    if (!file.load())
        return std::nullopt;
    const Value* v = lookup(file, key, name);
    if (!v || v->kind != Kind::Dword)
        return std::nullopt;
    return v->number;
}

} // namespace KeyStore
