#include "platform/Autostart.h"

#include "platform/VellumError.h"
#include "tests/support/TestEnv.h"

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

TEST(Autostart, ExecValueQuotesByTheDesktopEntryRules) {
    struct Case {
        QString path;
        QString exec;
    };
    const Case cases[] = {
        {"/usr/bin/vellum", "/usr/bin/vellum"},
        {"/opt/my apps/vellum", "\"/opt/my apps/vellum\""},
        {"/opt/a$b/vellum", "\"/opt/a\\\\$b/vellum\""},
        {"/opt/100%/vellum", "/opt/100%%/vellum"},
        {"/opt/x\\y/vellum", "\"/opt/x\\\\\\\\y/vellum\""},
        {QStringLiteral("/opt/软件/vellum"), QStringLiteral("/opt/软件/vellum")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(Autostart::execValue(c.path), c.exec);
    }
}

TEST(Autostart, EntryIsWrittenAndRemoved) {
    TestEnv env;
    const QString path = env.configHome() + "autostart/vellum.desktop";
    EXPECT_EQ(Autostart::entryPath(), path);
    Autostart::setEnabled(false); // absent: no error
    EXPECT_FALSE(Autostart::isEnabled());

    Autostart::setEnabled(true);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    file.close();
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(text.contains("\nType=Application\n"));
    EXPECT_TRUE(text.contains(
        "\nExec=" + Autostart::execValue(QCoreApplication::applicationFilePath()) + "\n"));
    Autostart::setEnabled(true); // again: replaced, no error
    EXPECT_TRUE(Autostart::isEnabled());

    Autostart::setEnabled(false);
    EXPECT_FALSE(QFile::exists(path));
}

TEST(Autostart, UnwritableEntryRaises) {
    TestEnv env;
    QFile blocker(env.configHome() + "autostart");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_THROW(Autostart::setEnabled(true), VellumError);
}
