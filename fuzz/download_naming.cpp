// Image addresses and post titles from the web become folder and file names.
// Whatever they hold, the file is created inside the chosen folder, no name
// is "." or "..", holds a "/" or a NUL, or is longer than 255 bytes.
#include "FuzzSupport.h"
#include "net/DownloadNaming.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {
void CheckName(const QString& name, const QByteArray& from) {
    const QByteArray bytes = QFile::encodeName(name);
    FUZZ_CHECK(bytes.size() <= 255, from, bytes);
    FUZZ_CHECK(!bytes.contains('/') && !bytes.contains('\0'), from, bytes);
    FUZZ_CHECK(bytes != "." && bytes != "..", from, bytes);
    // No half of a surrogate pair at the cut.
    FUZZ_CHECK(name.isEmpty() || !name.back().isHighSurrogate(), from, bytes);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const QByteArray titleBytes = QByteArray::fromStdString(in.ConsumeRandomLengthString(400));
    const int n = in.ConsumeIntegralInRange<int>(1, 100000);
    const QByteArray addressBytes = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());
    const QString title = QString::fromUtf8(titleBytes);
    const QString address = QString::fromUtf8(addressBytes);

    const QString folderName = TitleFolderName(title);
    CheckName(folderName, titleBytes);
    const QString fileName = FileNameFromAddress(address);
    CheckName(fileName, addressBytes);
    if (!fileName.isEmpty())
        CheckName(NumberedFileName(fileName, n), addressBytes);

    // The real thing: the folders made and the file claimed stay inside the
    // save folder.
    const QString save = Fuzz::ScratchDir() + QStringLiteral("downloads");
    QDir(save).removeRecursively();
    FUZZ_CHECK(QDir().mkpath(save));
    const QString folder = DownloadFolder(save, folderName);
    if (!QDir().mkpath(folder))
        return 0;
    QString path;
    const int fd = CreateUniqueFile(folder, fileName, &path);
    if (fd < 0)
        return 0;
    ::close(fd);
    const QString real = QFileInfo(path).canonicalFilePath();
    const QString root = QFileInfo(save).canonicalFilePath() + QLatin1Char('/');
    FUZZ_CHECK(real.startsWith(root), addressBytes, QFile::encodeName(real));
    FUZZ_CHECK(real.mid(root.size()).count(QLatin1Char('/')) <= (folderName.isEmpty() ? 0 : 1),
               addressBytes, QFile::encodeName(real));
    return 0;
}
