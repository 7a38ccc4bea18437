// config.ini as any editor leaves it: parsing, then writing one key back.
// Every line the write does not touch must stay byte for byte as it was.
#include "FuzzSupport.h"
#include "settings/IniFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QFile>

namespace {
QList<QByteArray> Lines(const QByteArray& text) {
    // Split after each line break (CR LF, LF or a lone CR), every line
    // keeping its own ending.
    QList<QByteArray> out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        else if (text[i] != '\r' && text[i] != '\n')
            continue;
        out.append(text.mid(start, i + 1 - start));
        start = i + 1;
    }
    if (start < text.size())
        out.append(text.mid(start));
    return out;
}

QByteArray Name(FuzzedDataProvider& in) {
    // Names the writer accepts: no line break, no '=' or brackets.
    QByteArray name = QByteArray::fromStdString(in.ConsumeRandomLengthString(12));
    QByteArray out;
    for (const char c : name)
        if (c != '\r' && c != '\n' && c != '=' && c != '[' && c != ']' && c != '\0' && c != ';')
            out += c;
    return out.trimmed();
}

QFile::Permissions kRw = QFile::ReadOwner | QFile::WriteOwner;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const QByteArray section = Name(in);
    const QByteArray key = Name(in);
    QByteArray value = QByteArray::fromStdString(in.ConsumeRandomLengthString(40));
    value.replace('\r', ' ').replace('\n', ' ').replace('\0', ' ');
    const QByteArray text = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());

    const QString path = Fuzz::WriteScratchFile(QStringLiteral("config.ini"), text);
    QFile::setPermissions(path, kRw);
    const IniFile ini(path);
    // Every reader copes with whatever the file holds.
    const QByteArray before = ini.readString(section, key, "\n<none>");
    ini.readInteger(section, key, 7);
    ini.readBool(section, key, true);
    const bool hadSection = ini.sectionExists(section);
    const QList<QByteArray> keys = ini.sectionKeys(section);
    if (section.isEmpty() || key.isEmpty())
        return 0;
    FUZZ_CHECK(ini.valueExists(section, key) == (before != "\n<none>"), section, key);
    (void)hadSection;

    ini.writeString(section, key, value);
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    const QByteArray after = file.readAll();
    file.close();

    FUZZ_CHECK(ini.readString(section, key, "\n<none>") == value, value);

    // Untouched lines stay byte for byte: between the common first and last
    // lines, the write may change one line (the key's) and add at most three
    // (a blank line, a section header and the key). A last line without a
    // break may gain one when a line is added after it.
    const QList<QByteArray> oldLines = Lines(text);
    const QList<QByteArray> newLines = Lines(after);
    const auto same = [&](qsizetype i, qsizetype j) {
        const QByteArray& o = oldLines[i];
        const QByteArray& n = newLines[j];
        if (o == n)
            return true;
        return i == oldLines.size() - 1 && !o.endsWith('\n') && !o.endsWith('\r') &&
               n.startsWith(o) && n.size() <= o.size() + 2 && n.mid(o.size()).trimmed().isEmpty();
    };
    qsizetype head = 0;
    while (head < oldLines.size() && head < newLines.size() && same(head, head))
        ++head;
    qsizetype tail = 0;
    while (tail < oldLines.size() - head && tail < newLines.size() - head &&
           same(oldLines.size() - 1 - tail, newLines.size() - 1 - tail))
        ++tail;
    const qsizetype oldMiddle = oldLines.size() - head - tail;
    const qsizetype newMiddle = newLines.size() - head - tail;
    FUZZ_CHECK(oldMiddle <= 1 && newMiddle <= 3, text, after);
    (void)keys;

    // A second write of the same value changes nothing at all.
    ini.writeString(section, key, value);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    FUZZ_CHECK(file.readAll() == after, after);
    return 0;
}
