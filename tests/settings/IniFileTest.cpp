#include "settings/IniFile.h"

#include "platform/AnsiCodePage.h"
#include "platform/VellumError.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

QString iniIn(const TestEnv& env) {
    return env.programDir() + QStringLiteral("config.ini");
}

} // namespace

TEST(IniFile, ReadsBooleansAndIntegersByTheIntegerRules) {
    TestEnv env;
    env.writeFile("config.ini", "[Common]\r\n"
                                "yes=yes\r\n"
                                "two=2\r\n"
                                "hex=0x1\r\n"
                                "hexUpper=0X1F\r\n"
                                "zero=0\r\n"
                                "empty=\r\n"
                                "neg=-5\r\n"
                                "spaced=  7  \r\n"
                                "trailing=7a\r\n"
                                "badhex=0x\r\n"
                                "huge=99999999999\r\n"
                                "quoted=\"1\"\r\n");
    const IniFile ini(iniIn(env));
    struct Case {
        const char* key;
        bool def;
        bool expectBool;
        int expectInt; // with default 42
    };
    const Case cases[] = {
        {"yes", true, true, 42},        {"yes", false, false, 42},     {"two", false, true, 2},
        {"hex", false, true, 1},        {"hexUpper", false, true, 31}, {"zero", true, false, 0},
        {"empty", true, true, 42},      {"neg", false, true, -5},      {"spaced", false, true, 7},
        {"trailing", false, false, 42}, {"badhex", true, true, 42},    {"huge", false, false, 42},
        {"quoted", false, true, 1},     {"missing", true, true, 42},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(ini.readBool("Common", c.key, c.def), c.expectBool);
        EXPECT_EQ(ini.readInteger("Common", c.key, 42), c.expectInt);
    }
}

TEST(IniFile, ReadsStringsByTheProfileRules) {
    TestEnv env;
    env.writeFile("config.ini", "; settings\r\n"
                                "orphan=before any section\r\n"
                                "[UBBSet]\r\n"
                                "UBBUrl=[url=$1]$2[/url]\r\n"
                                "  Spaced   =   padded value   \r\n"
                                "Quoted=\"  keep blanks  \"\r\n"
                                "Single='x'\r\n"
                                "Half=\"x\r\n"
                                "Empty=\r\n"
                                "Dup=first\r\n"
                                "dup=second\r\n"
                                ";Hidden=comment\r\n"
                                "[ other ]\r\n"
                                "k=v\r\n"
                                "[ubbset]\r\n"
                                "Late=in the second copy\r\n");
    const IniFile ini(iniIn(env));
    struct Case {
        const char* section;
        const char* key;
        QByteArray expect;
    };
    const Case cases[] = {
        {"UBBSet", "UBBUrl", "[url=$1]$2[/url]"}, // value holding "="
        {"ubbset", "ubburl", "[url=$1]$2[/url]"}, // other letter case
        {"UBBSET", "spaced", "padded value"},
        {"UBBSet", "Quoted", "  keep blanks  "},
        {"UBBSet", "Single", "x"},
        {"UBBSet", "Half", "\"x"},
        {"UBBSet", "Empty", ""},
        {"UBBSet", "DUP", "first"},
        {"UBBSet", ";Hidden", "<default>"},
        {"UBBSet", "Hidden", "<default>"},
        {"UBBSet", "orphan", "<default>"},
        {"UBBSet", "Late", "<default>"}, // the first copy of a section counts
        {"Other", "k", "v"},
        {"Missing", "k", "<default>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(ini.readString(c.section, c.key, "<default>"), c.expect);
    }
    EXPECT_EQ(ini.sectionKeys("UBBSET"), (QList<QByteArray>{"UBBUrl", "Spaced", "Quoted", "Single",
                                                            "Half", "Empty", "Dup", "dup"}));
}

TEST(IniFile, MissingFileAndSectionGiveDefaults) {
    TestEnv env;
    const IniFile none(iniIn(env));
    EXPECT_EQ(none.readString("Common", "ldate", "d"), QByteArray("d"));
    EXPECT_TRUE(none.readBool("Common", "StayOnTop", true));
    EXPECT_EQ(none.readInteger("Common", "WinState", 3), 3);
    EXPECT_FALSE(none.sectionExists("Common"));
    EXPECT_FALSE(QFile::exists(iniIn(env))); // reading creates nothing

    env.writeFile("config.ini", "[Other]\r\nStayOnTop=0\r\n");
    EXPECT_TRUE(IniFile(iniIn(env)).readBool("Common", "StayOnTop", true));
    // A folder in place of the file reads as a missing file.
    QDir().mkpath(env.programDir() + "dir.ini");
    EXPECT_EQ(IniFile(env.programDir() + "dir.ini").readString("a", "b", "d"), QByteArray("d"));
}

TEST(IniFile, WriteChangesOnlyTheValueTextOfItsKey) {
    TestEnv env;
    struct Case {
        const char* name;
        QByteArray before;
        const char* section;
        const char* key;
        QByteArray value;
        QByteArray after;
    };
    const Case cases[] = {
        {"replace keeps comments, blanks, spacing and CR LF",
         "; comment line\r\n\r\n[Common]\r\nStayOnTop = 1  "
         "\r\n\r\n;tail\r\n[UBBSet]\r\nUBBUrl=x\r\n",
         "common", "stayontop", "0",
         "; comment line\r\n\r\n[Common]\r\nStayOnTop = 0  "
         "\r\n\r\n;tail\r\n[UBBSet]\r\nUBBUrl=x\r\n"},
        {"new key after the section's last key, before its blank line",
         "[Common]\r\nA=1\r\n\r\n; note\r\n[UBBSet]\r\nB=2\r\n", "Common", "C", "3",
         "[Common]\r\nA=1\r\nC=3\r\n\r\n; note\r\n[UBBSet]\r\nB=2\r\n"},
        {"new key in an empty section goes right after its header", "[Empty]\n\n[Next]\nx=1\n",
         "Empty", "k", "v", "[Empty]\nk=v\n\n[Next]\nx=1\n"},
        {"LF file stays LF, new section at the end", "[A]\nx=1\n", "B", "y", "2",
         "[A]\nx=1\n\n[B]\ny=2\n"},
        {"unterminated last line gets the file's line break", "[A]\r\nx=1", "A", "y", "2",
         "[A]\r\nx=1\r\ny=2\r\n"},
        {"empty value is filled in place", "[A]\r\nx=\r\ny=1\r\n", "A", "x", "5",
         "[A]\r\nx=5\r\ny=1\r\n"},
        {"only the first copy of a key changes", "[A]\r\nx=1\r\nX=2\r\n", "A", "x", "9",
         "[A]\r\nx=9\r\nX=2\r\n"},
        {"blanks at the ends are kept by quoting", "[A]\r\n", "A", "x", "  a ",
         "[A]\r\nx=\"  a \"\r\n"},
        {"a value in quotes of its own keeps them", "[A]\r\n", "A", "x", "\"q\"",
         "[A]\r\nx=\"\"q\"\"\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        env.writeFile("config.ini", c.before);
        const IniFile ini(iniIn(env));
        ini.writeString(c.section, c.key, c.value);
        EXPECT_EQ(env.readFile("config.ini"), c.after);
        EXPECT_EQ(ini.readString(c.section, c.key), c.value);
    }
}

TEST(IniFile, FirstWriteCreatesFileSectionAndKey) {
    TestEnv env;
    const IniFile ini(iniIn(env));
    ini.writeBool("Common", "StayOnTop", true);
    ini.writeBool("Common", "RunMini", false);
    ini.writeInteger("Common", "WinState", -3);
    EXPECT_EQ(env.readFile("config.ini"), QByteArray("[Common]\r\nStayOnTop=1\r\nRunMini=0\r\n"
                                                     "WinState=-3\r\n"));
}

TEST(IniFile, LongAndChineseValuesRoundTripWhole) {
    TestEnv env;
    const IniFile ini(iniIn(env));
    // Past the old 2047-byte limit, with a two-byte character across it.
    QByteArray rule(2046, 'a');
    rule += AnsiCodePage::fromUnicode(QStringLiteral("中文规则"));
    while (rule.size() < 5000)
        rule += "%ODOA[title]";
    ini.writeString("ExportRule", "Rule", rule);
    EXPECT_EQ(ini.readString("ExportRule", "Rule"), rule);

    const QString name = QStringLiteral("软件下载😀");
    const QByteArray gbk = AnsiCodePage::fromUnicode(name);
    ini.writeString("TabClass", "tab0", gbk);
    EXPECT_EQ(ini.readString("TabClass", "tab0"), gbk);
    EXPECT_EQ(AnsiCodePage::toUnicode(ini.readString("TabClass", "TAB0")), name);
    EXPECT_TRUE(env.readFile("config.ini").contains("\r\ntab0=" + gbk + "\r\n"));
}

TEST(IniFile, DeleteKeyRemovesEveryCopyAndNothingElse) {
    TestEnv env;
    env.writeFile("config.ini",
                  "[TabClass]\r\ntab3=a\r\n;c\r\nTAB3=b\r\ntab4=c\r\n[X]\r\ntab3=x\r\n");
    const IniFile ini(iniIn(env));
    ini.deleteKey("tabclass", "tab3");
    EXPECT_EQ(env.readFile("config.ini"),
              QByteArray("[TabClass]\r\n;c\r\ntab4=c\r\n[X]\r\ntab3=x\r\n"));
    ini.deleteKey("TabClass", "tab9"); // missing key: no error
    ini.deleteKey("Nope", "tab4");
    EXPECT_EQ(ini.readString("TabClass", "tab4"), QByteArray("c"));
    IniFile(env.programDir() + "none.ini").deleteKey("a", "b");
    EXPECT_FALSE(env.exists("none.ini"));
}

TEST(IniFile, RefusedWriteRaisesAndLeavesTheOldFileWhole) {
    TestEnv env;
    // Made unwritable in ways that hold for root too: the path is a folder, or
    // its parent is a regular file.
    QDir().mkpath(env.programDir() + "config.ini");
    const QByteArray old = "[Common]\r\nStayOnTop=1\r\n";
    env.writeFile("blocker", old);
    struct Case {
        QString path;
    };
    const Case cases[] = {{env.programDir() + "config.ini"},
                          {env.programDir() + "blocker/config.ini"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        try {
            IniFile(c.path).writeBool("Common", "StayOnTop", false);
            ADD_FAILURE() << "no error";
        } catch (const VellumError& e) {
            EXPECT_EQ(e.message(), QStringLiteral("无法写入设置文件“%1”。").arg(c.path));
        }
    }
    EXPECT_EQ(env.readFile("blocker"), old);
    EXPECT_TRUE(QFileInfo(env.programDir() + "config.ini").isDir());

    // A value with a line break would split into two lines: refused, file kept.
    env.writeFile("good.ini", old);
    EXPECT_THROW(IniFile(env.programDir() + "good.ini").writeString("Common", "x", "a\r\nb=1"),
                 VellumError);
    EXPECT_EQ(env.readFile("good.ini"), old);
}
