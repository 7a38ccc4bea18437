// Category files from any editor or sync tool: the reader, the post-line
// decoding, and the writer that must give back exactly what was read.
#include "FuzzSupport.h"
#include "store/CategoryFile.h"
#include "store/PostLine.h"

#include <QDir>

namespace {
bool Holds(const QByteArray& line, char c) {
    return line.contains(c);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString dir = Fuzz::ScratchDir();
    const QString path = Fuzz::WriteScratchFile(QStringLiteral("Date1.dat"), bytes);

    const CategoryFile::Loaded loaded = CategoryFile::load(path);
    FUZZ_CHECK(loaded.exists);
    const QList<QByteArray> lines = CategoryFile::splitLines(bytes);
    FUZZ_CHECK(loaded.lines == lines);
    // A NUL ends the readable text and is reported; nothing else is.
    FUZZ_CHECK(loaded.problem.isEmpty() == !bytes.contains('\0'));

    for (const QByteArray& line : lines) {
        FUZZ_CHECK(!Holds(line, '\r') && !Holds(line, '\n') && !Holds(line, '\0'), line);
        const QByteArray title = DecodePostPart(line, 1);
        const QByteArray content = DecodePostPart(line, 2);
        if (!line.contains(kPostSeparator)) {
            FUZZ_CHECK(title.isEmpty() && content.isEmpty(), line);
            FUZZ_CHECK(TitleSearchPart(line) == line, line);
            continue;
        }
        FUZZ_CHECK(TitleSearchPart(line) == title, line, title);
        // Decoding and encoding again gives the stored line back.
        FUZZ_CHECK(EncodePost(title, content) == line, line, EncodePost(title, content));
    }

    // What is written reads back record for record.
    const QString copy = dir + QStringLiteral("Date2.dat");
    CategoryFile::writeLines(copy, lines);
    const CategoryFile::Loaded again = CategoryFile::load(copy);
    FUZZ_CHECK(again.problem.isEmpty() && again.lines == lines);
    QByteArray joined;
    for (const QByteArray& line : lines)
        joined += line + "\r\n";
    FUZZ_CHECK(CategoryFile::readAll(copy) == joined);
    return 0;
}
