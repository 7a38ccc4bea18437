// Importing a data file that anyone may have made: its records join the
// category after the ones already there, and the category written and read
// again holds exactly those records.
#include "FuzzSupport.h"
#include "store/CategoryFile.h"
#include "store/TDateMan.h"

#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString dataDir = Fuzz::ScratchDir() + QStringLiteral("date/");
    QDir(dataDir).removeRecursively();
    QDir().mkpath(dataDir);
    Fuzz::WriteScratchFile(QStringLiteral("date/Date3.dat"),
                           "\xb1\xea\xcc\xe2$TCSPLIT$\xc4\xda\xc8\xdd$1310$2\r\n");
    const QString path = Fuzz::WriteScratchFile(QStringLiteral("import.qre"), bytes);

    QList<QByteArray> expected;
    {
        TDateMan store(dataDir);
        store.LoadCategory(2);
        expected = store.Records(2);
        // An import drops NUL bytes, as the clipboard does, and keeps every line.
        expected +=
            CategoryFile::splitLines(QByteArray(bytes).replace(QByteArray(1, '\0'), QByteArray()));
        FUZZ_CHECK(store.AppendFromFile(2, path) == expected.size());
        FUZZ_CHECK(store.Records(2) == expected, bytes);
        FUZZ_CHECK(store.SaveCategory(2));
    }
    TDateMan again(dataDir);
    FUZZ_CHECK(again.LoadCategory(2) == expected.size());
    FUZZ_CHECK(again.Records(2) == expected, bytes);
    for (int k : {0, 1, 3, 4, 5})
        FUZZ_CHECK(again.LoadCategory(k) == 0);
    return 0;
}
