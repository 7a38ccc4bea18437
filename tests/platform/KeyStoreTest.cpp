#include "platform/KeyStore.h"

#include "platform/VellumError.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using KeyStore::Hive;

namespace {
QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

TEST(KeyStore, StringsRoundTripThroughTheFile) {
    TestEnv env;
    const struct {
        QString name;
        QString value;
    } cases[] = {
        {"plain", "text"},
        {"quotes", "say \"hi\""},
        {"backslashes", "C:\\dir\\\\share\\"},
        {"chinese", QString::fromUtf8("帖子 →获取标题")},
        {"say \"x\" \\ y", "name with escapes"},
        {"breaks", "line1\r\nline2\n"},
        {"empty", ""},
        {"", "the default value"},
    };
    for (const auto& c : cases)
        KeyStore::setString(Hive::CurrentUser, "Software\\Test", c.name, c.value);
    for (const auto& c : cases) {
        const auto got = KeyStore::readString(Hive::CurrentUser, "Software\\Test", c.name);
        ASSERT_TRUE(got.has_value()) << c.name.toStdString();
        EXPECT_EQ(*got, c.value) << c.name.toStdString();
    }
    const QByteArray file = readAll(KeyStore::hiveFile(Hive::CurrentUser));
    EXPECT_TRUE(file.startsWith("Windows Registry Editor Version 5.00\r\n\r\n"));
    EXPECT_TRUE(file.contains("[HKEY_CURRENT_USER\\Software\\Test]\r\n"));
    EXPECT_TRUE(file.contains("\"quotes\"=\"say \\\"hi\\\"\"\r\n"));
    EXPECT_TRUE(file.contains("@=\"the default value\"\r\n"));
    EXPECT_TRUE(file.contains(QString::fromUtf8("帖子 →获取标题").toUtf8()));
    EXPECT_TRUE(
        KeyStore::hiveFile(Hive::CurrentUser).endsWith("vellum/registry/HKEY_CURRENT_USER.reg"));
    EXPECT_TRUE(
        KeyStore::hiveFile(Hive::LocalMachine).endsWith("vellum/registry/HKEY_LOCAL_MACHINE.reg"));
    EXPECT_TRUE(KeyStore::hiveFile(Hive::CurrentUser).startsWith(env.configHome()));
}

TEST(KeyStore, DwordsAndTypesAreKeptApart) {
    TestEnv env;
    KeyStore::setDword(Hive::LocalMachine, "\\Software\\Vellum", "Convent", 16);
    KeyStore::setDword(Hive::LocalMachine, "Software\\Vellum", "big", 0xFFFFFFFFu);
    EXPECT_EQ(KeyStore::readDword(Hive::LocalMachine, "Software\\Vellum", "Convent"), 16u);
    EXPECT_EQ(KeyStore::readDword(Hive::LocalMachine, "Software\\Vellum", "big"), 0xFFFFFFFFu);
    EXPECT_FALSE(KeyStore::readString(Hive::LocalMachine, "Software\\Vellum", "Convent"));
    EXPECT_TRUE(
        readAll(KeyStore::hiveFile(Hive::LocalMachine)).contains("\"Convent\"=dword:00000010\r\n"));
    // Overwriting with another type replaces the value.
    KeyStore::setString(Hive::LocalMachine, "Software\\Vellum", "Convent", "x");
    EXPECT_FALSE(KeyStore::readDword(Hive::LocalMachine, "Software\\Vellum", "Convent"));
    EXPECT_EQ(KeyStore::readString(Hive::LocalMachine, "Software\\Vellum", "Convent"), "x");
    // The hives are separate files.
    EXPECT_FALSE(KeyStore::readString(Hive::CurrentUser, "Software\\Vellum", "Convent"));
}

TEST(KeyStore, KeysAndNamesMatchWithoutRegardToCase) {
    TestEnv env;
    KeyStore::setString(Hive::CurrentUser, "Software\\Vellum", "ExeFile", "a");
    KeyStore::setString(Hive::CurrentUser, "SOFTWARE\\vellum", "exefile", "b");
    EXPECT_EQ(KeyStore::readString(Hive::CurrentUser, "software\\VELLUM", "EXEFILE"), "b");
    const QByteArray file = readAll(KeyStore::hiveFile(Hive::CurrentUser));
    EXPECT_EQ(file.count("[HKEY_CURRENT_USER"), 1) << file.constData();
    EXPECT_EQ(file.count("=\""), 1) << file.constData();
}

TEST(KeyStore, DeletingLeavesOtherValuesAndKeysAlone) {
    TestEnv env;
    KeyStore::setString(Hive::CurrentUser, "Software\\A", "one", "1");
    KeyStore::setString(Hive::CurrentUser, "Software\\A", "two", "2");
    KeyStore::setString(Hive::CurrentUser, "Software\\A\\Sub", "x", "3");
    KeyStore::setString(Hive::CurrentUser, "Software\\AB", "y", "4");
    KeyStore::deleteValue(Hive::CurrentUser, "software\\a", "ONE");
    EXPECT_FALSE(KeyStore::readString(Hive::CurrentUser, "Software\\A", "one"));
    EXPECT_EQ(KeyStore::readString(Hive::CurrentUser, "Software\\A", "two"), "2");
    // Missing values and keys are no error.
    KeyStore::deleteValue(Hive::CurrentUser, "Software\\A", "none");
    KeyStore::deleteKey(Hive::CurrentUser, "Software\\Nothing");
    KeyStore::deleteKey(Hive::CurrentUser, "Software\\A");
    EXPECT_FALSE(KeyStore::readString(Hive::CurrentUser, "Software\\A", "two"));
    EXPECT_FALSE(KeyStore::readString(Hive::CurrentUser, "Software\\A\\Sub", "x"));
    EXPECT_EQ(KeyStore::readString(Hive::CurrentUser, "Software\\AB", "y"), "4");
}

TEST(KeyStore, GarbledFileKeepsWhatParses) {
    TestEnv env;
    QDir().mkpath(env.configHome() + "vellum/registry");
    QFile f(KeyStore::hiveFile(Hive::CurrentUser));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\xEF\xBB\xBFWindows Registry Editor Version 5.00\n\n"
            "[HKEY_CURRENT_USER\\Software\\Good]\n"
            "\"kept\"=\"yes\"\n"
            "\"open\"=\"never closed\n"
            "garbage \xFF\xFE line\n"
            "\"bad\"=dword:xyz\n"
            "\"n\"=dword:0000002a\n"
            "\"bin\"=hex:01,02,\\\n  03\n"
            // A continuation with nothing after it, and a name that only
            // mentions "=hex": neither takes in the line after it.
            "\"end\"=hex:04,\\\n\n"
            "\"x=hex\"=\"a\\\\\"\n"
            "\"after\"=\"kept\"\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Other]\n"
            "\"foreign\"=\"no\"\n"
            "[HKEY_CURRENT_USER\\Software\\Half\n"
            "\"orphan\"=\"no\"\n");
    f.close();
    EXPECT_EQ(KeyStore::readString(Hive::CurrentUser, "Software\\Good", "kept"), "yes");
    EXPECT_EQ(KeyStore::readDword(Hive::CurrentUser, "Software\\Good", "n"), 42u);
    EXPECT_FALSE(KeyStore::readString(Hive::CurrentUser, "Software\\Good", "open"));
    EXPECT_FALSE(KeyStore::readDword(Hive::CurrentUser, "Software\\Good", "bad"));
    EXPECT_FALSE(KeyStore::readString(Hive::CurrentUser, "Software\\Other", "foreign"));
    // A rewrite keeps the parsed values, including the binary one.
    KeyStore::setString(Hive::CurrentUser, "Software\\Good", "new", "v");
    EXPECT_EQ(KeyStore::readString(Hive::CurrentUser, "Software\\Good", "kept"), "yes");
    EXPECT_TRUE(readAll(KeyStore::hiveFile(Hive::CurrentUser)).contains("\"bin\"=hex:01,02,03"));
    EXPECT_EQ(KeyStore::readString(Hive::CurrentUser, "Software\\Good", "x=hex"), "a\\");
    EXPECT_EQ(KeyStore::readString(Hive::CurrentUser, "Software\\Good", "after"), "kept");
    // Written once, the hive reads and writes again byte for byte.
    const QByteArray written = readAll(KeyStore::hiveFile(Hive::CurrentUser));
    EXPECT_TRUE(written.contains("\"end\"=hex:04,\r\n"));
    KeyStore::setString(Hive::CurrentUser, "Software\\Good", "new", "v");
    EXPECT_EQ(readAll(KeyStore::hiveFile(Hive::CurrentUser)), written);
}

TEST(KeyStore, UnwritableFolderRaisesFailedToSetData) {
    TestEnv env;
    // A plain file where the folder belongs stops even root.
    QDir().mkpath(env.configHome() + "vellum");
    QFile blocker(env.configHome() + "vellum/registry");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const struct {
        QString name;
        bool dword;
    } cases[] = {{"exefile", false}, {"Contexts", true}, {"", false}};
    for (const auto& c : cases) {
        try {
            if (c.dword)
                KeyStore::setDword(Hive::LocalMachine, "Software\\Vellum", c.name, 1);
            else
                KeyStore::setString(Hive::LocalMachine, "Software\\Vellum", c.name, "v");
            ADD_FAILURE() << "no error for " << c.name.toStdString();
        } catch (const VellumError& e) {
            EXPECT_EQ(e.message(), QString("无法写入设置文件“%1”，设置项“%2”没有保存。")
                                       .arg(KeyStore::hiveFile(Hive::LocalMachine), c.name));
        }
    }
    EXPECT_FALSE(KeyStore::readString(Hive::LocalMachine, "Software\\Vellum", "exefile"));
}

TEST(KeyStore, UnreadableHiveIsNotOverwritten) {
    TestEnv env;
    // A folder in place of the hive file: it can be neither read nor replaced.
    QDir().mkpath(KeyStore::hiveFile(Hive::CurrentUser) + "/inner");
    EXPECT_THROW(KeyStore::setString(Hive::CurrentUser, "Software\\X", "a", "b"), VellumError);
    EXPECT_FALSE(KeyStore::readString(Hive::CurrentUser, "Software\\X", "a"));
    EXPECT_TRUE(QDir(KeyStore::hiveFile(Hive::CurrentUser) + "/inner").exists());
}
