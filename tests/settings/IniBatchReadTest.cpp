// Reads share one parsed copy of config.ini while the file stays the same;
// any change, ours or another program's, is read back at the next call.
#include "settings/IniFile.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

TEST(IniBatchRead, EveryChangeToTheFileIsReadBack) {
    TestEnv env;
    env.writeFile("config.ini", "[Common]\r\nkey=1\r\n");
    const IniFile ini(env.programDir() + "config.ini");
    EXPECT_EQ(ini.readString("Common", "key"), "1");
    const struct {
        const char* how;
        std::function<void()> change;
        QByteArray expected;
    } cases[] = {
        {"our own write", [&] { ini.writeString("Common", "key", "2"); }, "2"},
        {"rewritten in place, same size",
         [&] {
             // Another program's edit comes at least a clock tick after ours.
             QThread::msleep(20);
             QFile f(env.programDir() + "config.ini");
             ASSERT_TRUE(f.open(QIODevice::ReadWrite));
             f.write("[Common]\r\nkey=3\r\n");
         },
         "3"},
        {"replaced by another program",
         [&] { env.writeFile("config.ini", "[Common]\r\nkey=four\r\n"); }, "four"},
        {"removed", [&] { QFile::remove(env.programDir() + "config.ini"); }, "default"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        c.change();
        EXPECT_EQ(ini.readString("Common", "key", "default"), c.expected);
    }
}

TEST(IniBatchRead, ConfigThatCannotBeReadIsNamedInChinese) {
    TestEnv env;
    const QString path = env.programDir() + "config.ini";
    EXPECT_EQ(IniFile::readProblem(path), QString()); // missing: defaults, no message
    env.writeFile("config.ini", "[TabClass]\r\ntab0=A\r\n");
    EXPECT_EQ(IniFile::readProblem(path), QString());
    QFile::remove(path);
    QDir().mkpath(path);
    const QString problem = IniFile::readProblem(path);
    EXPECT_TRUE(problem.contains(path)) << problem.toStdString();
    EXPECT_TRUE(problem.contains(QStringLiteral("无法读取设置文件"))) << problem.toStdString();
}
