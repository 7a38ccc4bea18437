// Garbage in, no crash out: the parsers that read files, the clipboard and
// the local socket get random bytes (with the separators they look for mixed
// in) and must only ever return, under the sanitizers.
#include "bridge/ClipboardCommand.h"
#include "bridge/TagBuilder.h"
#include "net/PictureList.h"
#include "platform/AnsiCodePage.h"
#include "platform/NextPostChannel.h"
#include "platform/VellumError.h"
#include "settings/IniFile.h"
#include "store/CategoryFile.h"
#include "store/PostLine.h"
#include "store/TDateMan.h"
#include "tests/support/TestEnv.h"

#include <QFile>

#include <gtest/gtest.h>
#include <random>

namespace {
QByteArray randomText(std::mt19937& rng) {
    static const QByteArray pieces[] = {"$TCSPLIT$",
                                        "$1310$",
                                        "\r",
                                        "\n",
                                        "\r\n",
                                        QByteArray(1, '\0'),
                                        "$SPLIT$",
                                        "$$",
                                        ";",
                                        "=",
                                        "[",
                                        "]",
                                        "\"",
                                        "BBSGETIMG:",
                                        "BBSGETHREF:",
                                        "BBSGETTITLE:",
                                        "BBSGETCONTENT:",
                                        "BBSGETALLPIC:",
                                        "\xd6\xd0",
                                        "\x81",
                                        "0x"};
    std::uniform_int_distribution<int> length(0, 40);
    std::uniform_int_distribution<int> kind(0, 3);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> piece(0, int(std::size(pieces)) - 1);
    QByteArray text;
    for (int n = length(rng); n > 0; --n) {
        if (kind(rng) == 0)
            text += pieces[piece(rng)];
        else
            text += char(byte(rng));
    }
    return text;
}
} // namespace

TEST(RandomInput, ParsersAlwaysReturn) {
    TestEnv env;
    std::mt19937 rng(20261208);
    TSettingsMirror settings;
    settings.UBBImg = "[img]$1[/img]";
    settings.UBBFlash = "[flash=$1,$2]$3[/flash]";
    for (int i = 0; i < 3000; ++i) {
        const QByteArray bytes = randomText(rng);
        const QString text = AnsiCodePage::toUnicode(bytes);
        for (const QByteArray& line : CategoryFile::splitLines(bytes)) {
            EXPECT_FALSE(line.contains('\n'));
            EXPECT_EQ(
                DecodePostPart(EncodePost(DecodePostPart(line, 1), DecodePostPart(line, 2)), 1),
                DecodePostPart(line, 1));
        }
        ParseClipboardCommand(text);
        SplitLinkPayload(text);
        ImageAddress(text);
        ParsePicturePayload(bytes);
        ParseInteger(bytes);
        MakeUbbTag(TagKind::Flash, bytes, bytes, settings);
        int wparam = 0;
        NextPostChannel::parseLine(bytes, wparam);
        AnsiCodePage::fromUnicode(text);
    }
}

TEST(RandomInput, GarbledFilesLoadWithoutHarm) {
    TestEnv env;
    std::mt19937 rng(7);
    const QString ini = env.programDir() + "config.ini";
    TDateMan store(env.dataDir());
    for (int i = 0; i < 300; ++i) {
        QByteArray bytes;
        for (int n = 0; n < 8; ++n)
            bytes += randomText(rng);
        env.writeFile("config.ini", bytes);
        env.writeFile("date/Date1.dat", bytes);
        const IniFile file(ini);
        file.readString("TabClass", "tab0");
        file.readBool("Common", "StayOnTop", true);
        file.readInteger("Common", "WinState", 0);
        file.sectionKeys("Common");
        file.writeString("Common", "WinState", "1");
        EXPECT_EQ(file.readInteger("Common", "WinState", 0), 1);
        // A NUL byte means the file cannot be read faithfully: it is loaded
        // up to the NUL and never written back.
        const bool faithful = !bytes.contains('\0');
        if (faithful)
            store.LoadCategory(0);
        else
            EXPECT_THROW(store.LoadCategory(0), VellumError);
        store.FindTitle(0, "\xd6\xd0", 0);
        // Taken out and put back, so that the category counts as changed.
        if (faithful && store.RecordCount(0) > 0) {
            const QByteArray first = store.record(0, 0);
            store.DeleteRecord(0, 0);
            store.InsertRecord(first, 0, 0);
        }
        store.SaveCategory(0);
        // What was read is written back byte for byte but for the breaks.
        QByteArray expected;
        for (const QByteArray& line : CategoryFile::splitLines(bytes))
            expected += line + "\r\n";
        EXPECT_EQ(env.readFile("date/Date1.dat"),
                  faithful && !expected.isEmpty() ? expected : bytes);
    }
}
