#include "bridge/BrowserRegistration.h"

#include "platform/KeyStore.h"
#include "tests/support/TestEnv.h"

#include <QFile>

#include <gtest/gtest.h>
#include <sys/stat.h>

using KeyStore::Hive;

namespace {
const QString kMenu = "Software\\Microsoft\\Internet Explorer\\MenuExt\\";

QByteArray hiveText(Hive hive) {
    QFile f(KeyStore::hiveFile(hive));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The entries as the browser expects them, written out by hand.
const struct {
    const char* caption;
    const char* page;
    int contexts;
} kExpected[] = {
    {" →获取标题", "GetTitle.htm", 16},
    {" →获取内容", "GetContent.htm", -1},
    {" ←设置标题", "SetTitle.htm", 4},
    {" ←设置内容", "SetContent.htm", 4},
    {" →提取图片", "GetPic.htm", 2},
    {" →提取链接", "GetHref.htm", 34},
    {" ∈提取Flash及媒体文件", "ListFlash.htm", -1},
    {" ∈提取全部图片", "GetAllPic.htm", -1},
    {" ⊙快速回复", "QuickNote.htm", 4},
};

void expectEntries(const QString& programDir) {
    const QByteArray file = hiveText(Hive::CurrentUser);
    for (const auto& e : kExpected) {
        const QString key = kMenu + QString::fromUtf8(e.caption);
        SCOPED_TRACE(key.toStdString());
        EXPECT_TRUE(file.contains("[HKEY_CURRENT_USER\\" + key.toUtf8() + "]\r\n"));
        EXPECT_EQ(KeyStore::readString(Hive::CurrentUser, key, ""), programDir + "html/" + e.page);
        const auto contexts = KeyStore::readDword(Hive::CurrentUser, key, "Contexts");
        if (e.contexts < 0)
            EXPECT_FALSE(contexts.has_value());
        else
            EXPECT_EQ(contexts, quint32(e.contexts));
    }
    EXPECT_EQ(file.count("[HKEY_CURRENT_USER\\"), 9);
}
} // namespace

TEST(BrowserRegistration, WritesTheNineEntriesAndTheProgramLocation) {
    TestEnv env;
    RegisterProgramLocation("/opt/vellum/vellum");
    RegisterBrowserMenu(env.programDir());
    expectEntries(env.programDir());
    EXPECT_EQ(KeyStore::readString(Hive::LocalMachine, "Software\\Vellum", "exefile"),
              "/opt/vellum/vellum");
    EXPECT_EQ(KeyStore::readString(Hive::LocalMachine, "Software\\Vellum", "version"), "V4.3.1");
    EXPECT_TRUE(
        hiveText(Hive::LocalMachine).contains("[HKEY_LOCAL_MACHINE\\Software\\Vellum]\r\n"));
    // Nothing of the machine record lands in the user's hive or back.
    EXPECT_FALSE(hiveText(Hive::CurrentUser).contains("exefile"));
    EXPECT_FALSE(hiveText(Hive::LocalMachine).contains("MenuExt"));
}

TEST(BrowserRegistration, NextStartRestoresEntriesAndKeepsOtherValues) {
    TestEnv env;
    RegisterProgramLocation("/old/vellum");
    RegisterBrowserMenu(env.programDir());
    const QString title = kMenu + QString::fromUtf8(" →获取标题");
    const QString content = kMenu + QString::fromUtf8(" ←设置内容");
    KeyStore::deleteKey(Hive::CurrentUser, title);
    KeyStore::setString(Hive::CurrentUser, content, "", "/elsewhere/x.htm");
    KeyStore::setDword(Hive::CurrentUser, content, "Contexts", 1);
    KeyStore::setString(Hive::CurrentUser, content, "Flags", "mine");
    KeyStore::setDword(Hive::LocalMachine, "Software\\Vellum", "Convent", 2);

    RegisterProgramLocation("/new/vellum");
    RegisterBrowserMenu(env.programDir());
    expectEntries(env.programDir());
    EXPECT_EQ(KeyStore::readString(Hive::CurrentUser, content, "Flags"), "mine");
    EXPECT_EQ(KeyStore::readString(Hive::LocalMachine, "Software\\Vellum", "exefile"),
              "/new/vellum");
    EXPECT_EQ(KeyStore::readDword(Hive::LocalMachine, "Software\\Vellum", "Convent"), 2u);
}

TEST(BrowserRegistration, AnUnchangedHiveIsNotWrittenAgain) {
    TestEnv env;
    RegisterProgramLocation("/opt/vellum/vellum");
    RegisterBrowserMenu(env.programDir());
    const auto inodeOf = [](KeyStore::Hive hive) {
        struct stat st {};
        ::stat(QFile::encodeName(KeyStore::hiveFile(hive)).constData(), &st);
        return st.st_ino;
    };
    const ino_t user = inodeOf(KeyStore::Hive::CurrentUser);
    const ino_t machine = inodeOf(KeyStore::Hive::LocalMachine);
    RegisterProgramLocation("/opt/vellum/vellum");
    RegisterBrowserMenu(env.programDir());
    EXPECT_EQ(inodeOf(KeyStore::Hive::CurrentUser), user);
    EXPECT_EQ(inodeOf(KeyStore::Hive::LocalMachine), machine);
    // A real change is written (atomically, so as a new file).
    RegisterProgramLocation("/usr/local/bin/vellum");
    EXPECT_NE(inodeOf(KeyStore::Hive::LocalMachine), machine);
    EXPECT_EQ(KeyStore::readString(KeyStore::Hive::LocalMachine, "Software\\Vellum", "exefile"),
              "/usr/local/bin/vellum");
}
