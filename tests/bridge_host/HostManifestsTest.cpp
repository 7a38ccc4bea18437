// The manifests that tell the browsers where our host is.
#include "bridge/HostManifests.h"
#include "platform/VellumError.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using HostManifests::Browser;

namespace {
QByteArray read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void put(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
} // namespace

TEST(HostManifests, EachBrowserFindsTheHostAndOnlyOurExtensionMayUseIt) {
    TestEnv env;
    const QString host = "/opt/某处/vellum-browser-host";
    HostManifests::write(host);
    struct Case {
        Browser browser;
        QString path;
        const char* allowKey;
        QString allowed;
    };
    const Case cases[] = {
        {Browser::Chromium,
         env.configHome() + "chromium/NativeMessagingHosts/vellum.browser_host.json",
         "allowed_origins", "chrome-extension://kjcnbijjdjjginciopfgpkjnbheckabh/"},
        {Browser::Chrome,
         env.configHome() + "google-chrome/NativeMessagingHosts/vellum.browser_host.json",
         "allowed_origins", "chrome-extension://kjcnbijjdjjginciopfgpkjnbheckabh/"},
        {Browser::Firefox,
         env.homeDir() + ".mozilla/native-messaging-hosts/vellum.browser_host.json",
         "allowed_extensions", "bridge@vellum.invalid"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HostManifests::path(c.browser), c.path);
        QJsonParseError error{};
        const QJsonObject m = QJsonDocument::fromJson(read(c.path), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << c.path.toStdString();
        EXPECT_EQ(m.value("name").toString(), "vellum.browser_host");
        EXPECT_EQ(m.value("path").toString(), host);
        EXPECT_EQ(m.value("type").toString(), "stdio");
        EXPECT_FALSE(m.value("description").toString().isEmpty());
        EXPECT_EQ(m.value(c.allowKey).toArray(), QJsonArray{c.allowed});
        EXPECT_EQ(m.size(), 5) << "Firefox refuses keys it does not know";
    }
}

TEST(HostManifests, WithoutXdgConfigHomeChromiumLooksUnderDotConfig) {
    TestEnv env;
    qunsetenv("XDG_CONFIG_HOME");
    HostManifests::write("/x/vellum-browser-host");
    EXPECT_TRUE(QFile::exists(env.homeDir() +
                              ".config/chromium/NativeMessagingHosts/vellum.browser_host.json"));
    EXPECT_TRUE(QFile::exists(
        env.homeDir() + ".config/google-chrome/NativeMessagingHosts/vellum.browser_host.json"));
}

TEST(HostManifests, OtherHostsAreLeftAloneAndAMovedProgramIsFollowed) {
    TestEnv env;
    const QString other = HostManifests::folder(Browser::Firefox) + "org.example.other.json";
    const QString otherChromium = HostManifests::folder(Browser::Chromium) + "other.json";
    put(other, "{\"name\":\"org.example.other\"}");
    put(otherChromium, "not even json");
    HostManifests::write("/old/vellum-browser-host");
    HostManifests::write("/new/vellum-browser-host");
    EXPECT_EQ(read(other), "{\"name\":\"org.example.other\"}");
    EXPECT_EQ(read(otherChromium), "not even json");
    for (const Browser b : {Browser::Chromium, Browser::Chrome, Browser::Firefox}) {
        const QJsonObject m = QJsonDocument::fromJson(read(HostManifests::path(b))).object();
        EXPECT_EQ(m.value("path").toString(), "/new/vellum-browser-host");
    }
    EXPECT_EQ(QDir(HostManifests::folder(Browser::Firefox)).entryList(QDir::Files).size(), 2)
        << "no temporary files left behind";
}

TEST(HostManifests, AFolderThatCannotBeMadeIsReportedAndTheOthersAreStillWritten) {
    TestEnv env;
    put(env.configHome() + "chromium", "a file where the folder should be");
    try {
        HostManifests::write("/x/vellum-browser-host");
        FAIL() << "no error";
    } catch (const VellumError& e) {
        EXPECT_TRUE(e.message().contains("chromium")) << e.message().toStdString();
    }
    EXPECT_TRUE(QFile::exists(HostManifests::path(Browser::Chrome)));
    EXPECT_TRUE(QFile::exists(HostManifests::path(Browser::Firefox)));
}
