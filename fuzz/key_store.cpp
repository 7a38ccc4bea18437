// The key store's ".reg" files, which other programs and the user may edit:
// whatever a hive file holds, a value written reads back as written, other
// values keep theirs, and a hive file written once is read and written again
// byte for byte (reader and writer agree).
#include "FuzzSupport.h"
#include "platform/KeyStore.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

using KeyStore::Hive;

namespace {
QString Text(FuzzedDataProvider& in, size_t max) {
    return QString::fromUtf8(QByteArray::fromStdString(in.ConsumeRandomLengthString(max)));
}

// Keys come from the program, never with a line break in them.
QString Key(FuzzedDataProvider& in) {
    QString key = Text(in, 24);
    key.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    return key;
}

// The key as the store names it: backslash-separated parts, no empty ones,
// compared without regard to case.
QString Normal(const QString& key) {
    return key.split(QLatin1Char('\\'), Qt::SkipEmptyParts).join(QLatin1Char('\\')).toLower();
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    return file.readAll();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fuzz::ScratchDir();
    FuzzedDataProvider in(data, size);
    const QString key = Key(in);
    const QString name = Text(in, 16);
    const QString value = Text(in, 32);
    const QString otherKey = Key(in);
    const QString otherName = Text(in, 16);
    const bool dword = in.ConsumeBool();
    const quint32 number = in.ConsumeIntegral<quint32>();
    const QByteArray hive = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());

    const QString path = KeyStore::hiveFile(Hive::CurrentUser);
    QDir().mkpath(QFileInfo(path).path());
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(hive);
    }

    const auto otherString = KeyStore::readString(Hive::CurrentUser, otherKey, otherName);
    const auto otherDword = KeyStore::readDword(Hive::CurrentUser, otherKey, otherName);
    if (dword) {
        KeyStore::setDword(Hive::CurrentUser, key, name, number);
        FUZZ_CHECK(KeyStore::readDword(Hive::CurrentUser, key, name) == number);
        FUZZ_CHECK(!KeyStore::readString(Hive::CurrentUser, key, name));
    } else {
        KeyStore::setString(Hive::CurrentUser, key, name, value);
        const auto back = KeyStore::readString(Hive::CurrentUser, key, name);
        FUZZ_CHECK(back && *back == value, value.toUtf8(), back ? back->toUtf8() : QByteArray());
        FUZZ_CHECK(!KeyStore::readDword(Hive::CurrentUser, key, name));
    }
    const bool sameValue =
        Normal(key) == Normal(otherKey) && name.compare(otherName, Qt::CaseInsensitive) == 0;
    if (!sameValue) {
        FUZZ_CHECK(KeyStore::readString(Hive::CurrentUser, otherKey, otherName) == otherString,
                   hive);
        FUZZ_CHECK(KeyStore::readDword(Hive::CurrentUser, otherKey, otherName) == otherDword, hive);
    }

    // Read and written again, the file stays as it is.
    const QByteArray written = ReadFile(path);
    if (dword)
        KeyStore::setDword(Hive::CurrentUser, key, name, number);
    else
        KeyStore::setString(Hive::CurrentUser, key, name, value);
    FUZZ_CHECK(ReadFile(path) == written, written, ReadFile(path));

    // Removing the value and the key leaves nothing of them behind.
    KeyStore::deleteValue(Hive::CurrentUser, key, name);
    FUZZ_CHECK(!KeyStore::readString(Hive::CurrentUser, key, name) &&
               !KeyStore::readDword(Hive::CurrentUser, key, name));
    KeyStore::deleteKey(Hive::CurrentUser, key);
    return 0;
}
