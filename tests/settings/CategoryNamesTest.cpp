#include "settings/CategoryNames.h"

#include "settings/IniFile.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

TEST(CategoryNames, FreeSlotIsTheLowestMissingOrEmptyName) {
    TestEnv env;
    const IniFile ini(env.programDir() + "config.ini");
    struct Case {
        QByteArray section;
        int expect;
    };
    const Case cases[] = {
        {"", 0},
        {"tab0=a\r\ntab1=b\r\ntab3=d\r\n", 2},
        {"tab0=a\r\ntab1=\r\ntab2=c\r\n", 1},
        {"TAB0=a\r\nTab1=b\r\n", 2},
        {"tab0=a\r\ntab1=b\r\ntab2=c\r\ntab3=d\r\ntab4=e\r\ntab5=f\r\n", -1},
        {"tab0=a\r\ntab1=b\r\ntab2=c\r\ntab3=d\r\ntab4=e\r\ntab5=f\r\ntab6=g\r\n", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section.toStdString());
        env.writeFile("config.ini", "[TabClass]\r\n" + c.section);
        EXPECT_EQ(CategoryNames::findFreeSlot(ini), c.expect);
    }
}

TEST(CategoryNames, ReadSaveAndRemoveTouchOnlyTheirKeys) {
    TestEnv env;
    env.writeFile("config.ini",
                  "[TabClass]\r\ntab0=a\r\ntab1=\r\ntab3=d\r\n[Common]\r\nRunMini=1\r\n");
    env.writeFile("date/Date5.dat", "t$TCSPLIT$c\r\n");
    const IniFile ini(env.programDir() + "config.ini");
    const QList<CategoryNames::Entry> named = CategoryNames::readNamed(ini);
    ASSERT_EQ(named.size(), 2);
    EXPECT_EQ(named[0].slot, 0);
    EXPECT_EQ(named[1].slot, 3);
    EXPECT_EQ(named[1].name, QByteArray("d"));

    CategoryNames::save(ini, {{3, "D"}, {4, "e"}, {0, "A"}});
    EXPECT_EQ(
        env.readFile("config.ini"),
        QByteArray(
            "[TabClass]\r\ntab0=A\r\ntab1=\r\ntab3=D\r\ntab4=e\r\n[Common]\r\nRunMini=1\r\n"));
    CategoryNames::remove(ini, 4);
    EXPECT_EQ(CategoryNames::read(ini, 4), QByteArray());
    EXPECT_FALSE(ini.valueExists("TabClass", "tab4"));
    EXPECT_EQ(env.readFile("date/Date5.dat"), QByteArray("t$TCSPLIT$c\r\n"));
}
