#include "platform/AnsiCodePage.h"
#include "platform/KeyStore.h"
#include "tests/app/ProcessHarness.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

namespace {
const QString kMenuKey = "Software\\Microsoft\\Internet Explorer\\MenuExt\\ →获取标题";

QByteArray blockText(const TestEnv& env) {
    QFile block(env.runtimeDir() + "MapString");
    if (!block.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = block.readAll();
    return bytes.left(bytes.indexOf('\0'));
}

bool waitFor(const std::function<bool()>& condition, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (condition())
            return true;
        QThread::msleep(50);
    }
    return condition();
}

int send(const TestEnv& env, const QString& wparam) {
    QProcess client;
    client.setProcessEnvironment(env.processEnvironment());
    client.start(VELLUM_SEND_EXE, {"1108", wparam});
    client.waitForFinished(10000);
    return client.exitCode();
}

void putOnClipboard(const RunningVellum& app, const QString& text) {
    QProcess xclip;
    xclip.setProcessEnvironment(app.xEnvironment());
    xclip.start("xclip", {"-selection", "clipboard", "-t", "UTF8_STRING", "-i"});
    xclip.waitForStarted(5000);
    xclip.write(text.toUtf8());
    xclip.closeWriteChannel();
    xclip.waitForFinished(5000);
}
} // namespace

TEST(BridgeRoad, EveryStartRegistersTheBrowserMenuAgain) {
    TestEnv env;
    env.writeFile("config.ini", "[TabClass]\r\ntab0=A\r\n");
    using KeyStore::Hive;
    {
        RunningVellum app;
        ASSERT_TRUE(app.start(env)) << app.errors().constData();
        EXPECT_EQ(app.terminate(), 0);
    }
    EXPECT_EQ(KeyStore::readString(Hive::CurrentUser, kMenuKey, ""),
              env.programDir() + "html/GetTitle.htm");
    EXPECT_EQ(KeyStore::readDword(Hive::CurrentUser, kMenuKey, "Contexts"), 16u);
    EXPECT_EQ(KeyStore::readString(Hive::LocalMachine, "Software\\Vellum", "version"), "V4.3.1");
    EXPECT_TRUE(KeyStore::readString(Hive::LocalMachine, "Software\\Vellum", "exefile")
                    ->endsWith("/vellum"));

    KeyStore::deleteKey(Hive::CurrentUser, kMenuKey);
    KeyStore::deleteValue(Hive::LocalMachine, "Software\\Vellum", "version");
    ASSERT_FALSE(KeyStore::readString(Hive::CurrentUser, kMenuKey, "").has_value());
    {
        RunningVellum app;
        ASSERT_TRUE(app.start(env)) << app.errors().constData();
        EXPECT_EQ(app.terminate(), 0);
    }
    EXPECT_EQ(KeyStore::readString(Hive::CurrentUser, kMenuKey, ""),
              env.programDir() + "html/GetTitle.htm");
    EXPECT_EQ(KeyStore::readString(Hive::LocalMachine, "Software\\Vellum", "version"), "V4.3.1");
}

TEST(BridgeRoad, NextPostMessageFromAnotherProcessPublishesTheNextPost) {
    TestEnv env;
    env.writeFile("config.ini",
                  "[TabClass]\r\ntab0=A\r\n[Common]\r\nKeepSubject=0\r\nRetoreMainWin=0\r\n");
    env.writeFile("date/Date1.dat", "first$TCSPLIT$one\r\n");
    RunningVellum app;
    ASSERT_TRUE(app.start(env)) << app.errors().constData();
    // A captured post is stored and selected as the last row.
    putOnClipboard(app, "BBSGETTITLE:second");
    ASSERT_TRUE(waitFor([&] { return blockText(env) == "BBSSETTEXT:second$TCSPLIT$"; }))
        << blockText(env).constData();
    putOnClipboard(app, "BBSGETCONTENT:two");
    ASSERT_TRUE(waitFor([&] { return blockText(env) == "BBSSETTEXT:second$TCSPLIT$two"; }));

    EXPECT_EQ(send(env, "7"), 0); // other values do nothing
    QThread::msleep(300);
    EXPECT_EQ(blockText(env), "BBSSETTEXT:second$TCSPLIT$two");
    EXPECT_EQ(send(env, "1"), 0); // wraps to the first row
    EXPECT_TRUE(waitFor([&] { return blockText(env) == "BBSSETTEXT:first$TCSPLIT$one"; }))
        << blockText(env).constData();
    EXPECT_EQ(send(env, "1"), 0);
    EXPECT_TRUE(waitFor([&] { return blockText(env) == "BBSSETTEXT:second$TCSPLIT$two"; }));
    EXPECT_EQ(app.terminate(), 0);
    EXPECT_NE(send(env, "1"), 0); // nobody listens any more
}
