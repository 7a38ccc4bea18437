// The test build installed as the package installs it, into a /usr-like tree
// in a temporary folder, and started from there: the installed mode.
#include "platform/AnsiCodePage.h"
#include "platform/CaptureChannel.h"
#include "platform/KeyStore.h"
#include "tests/app/ProcessHarness.h"
#include "tests/bridge_host/HostProcess.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

namespace {
QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Installs the build with DESTDIR; returns the prefix inside the tree.
QString installInto(const QString& tree) {
    QProcess install;
    QProcessEnvironment pe = QProcessEnvironment::systemEnvironment();
    pe.insert("DESTDIR", tree);
    install.setProcessEnvironment(pe);
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(VELLUM_CMAKE, {"--install", VELLUM_BUILD_DIR});
    if (!install.waitForFinished(120000) || install.exitCode() != 0) {
        ADD_FAILURE() << install.readAll().constData();
        return {};
    }
    return tree + VELLUM_INSTALL_PREFIX + QLatin1Char('/');
}
} // namespace

TEST(InstalledLayout, FirstStartMakesTheUserFolderAndEverythingNamesTheInstalledFiles) {
    TestEnv env;
    const QString prefix = installInto(env.root() + "tree");
    ASSERT_FALSE(prefix.isEmpty());
    const QString shared = prefix + "share/vellum/";
    const QString host = prefix + "libexec/vellum/vellum-browser-host";
    const QString exe = prefix + "bin/vellum";
    // A stale manifest from a staged folder, which browsers would prefer.
    QDir().mkpath(env.configHome() + "chromium/NativeMessagingHosts");
    QFile stale(env.configHome() + "chromium/NativeMessagingHosts/vellum.browser_host.json");
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write(R"({"name":"vellum.browser_host","path":"/home/u/Vellum/vellum-browser-host"})");
    stale.close();

    RunningVellum app;
    app.executable = exe;
    ASSERT_TRUE(app.start(env, {"VELLUM_HOME="})) << app.errors().constData();
    const QString folder = env.dataHome() + "vellum/";
    // The shipped defaults, and what the start itself adds (the day's date).
    EXPECT_TRUE(readAll(folder + "config.ini").startsWith(readAll(shared + "config.ini")));
    EXPECT_TRUE(QFileInfo(folder + "date").isDir());
    EXPECT_FALSE(QFileInfo::exists(env.programDir() + "config.ini"));
    // The help page that the tray, the toolbar and the about box open.
    EXPECT_TRUE(QFileInfo::exists(shared + "help/index.html"));

    QString error;
    for (const QByteArray command : {"BBSGETTITLE:安装后的标题", "BBSGETCONTENT:安装后的内容"})
        ASSERT_EQ(sendCaptureCommand(env.runtimeDir(), command, 20000, &error), Handover::Queued)
            << error.toStdString();
    QThread::msleep(500);
    EXPECT_EQ(app.terminate(), 0) << app.errors().constData();
    EXPECT_EQ(AnsiCodePage::toUnicode(readAll(folder + "date/Date1.dat")),
              QStringLiteral("安装后的标题$TCSPLIT$安装后的内容\r\n"));

    using KeyStore::Hive;
    EXPECT_EQ(KeyStore::readString(Hive::LocalMachine, "Software\\Vellum", "exefile"), exe);
    EXPECT_EQ(KeyStore::readString(Hive::CurrentUser,
                                   "Software\\Microsoft\\Internet Explorer\\MenuExt\\ →获取标题",
                                   QString()),
              shared + "browser-extension/GetTitle.htm");
    for (const char* manifest : {"chromium/NativeMessagingHosts/vellum.browser_host.json",
                                 "google-chrome/NativeMessagingHosts/vellum.browser_host.json"}) {
        const QJsonObject m =
            QJsonDocument::fromJson(readAll(env.configHome() + manifest)).object();
        EXPECT_EQ(m.value("path").toString(), host) << manifest;
    }

    // The installed host finds the user's folder and answers the browser.
    HostProcess browserHost(env, {"VELLUM_HOME="}, host);
    browserHost.send(QJsonObject{{"type", "menu"}});
    const QJsonObject menu = browserHost.reply();
    EXPECT_TRUE(menu.value("ok").toBool()) << QJsonDocument(menu).toJson().constData();
    EXPECT_EQ(menu.value("entries").toArray().size(), 9);
}
