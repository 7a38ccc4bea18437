#include "bridge/TagBuilder.h"

#include "platform/AnsiCodePage.h"

#include <QPlainTextEdit>
#include <QTextCursor>

#include <gtest/gtest.h>

namespace {

QByteArray gb(const char* utf8) {
    return AnsiCodePage::fromUnicode(QString::fromUtf8(utf8));
}

TSettingsMirror defaults() {
    TSettingsMirror s;
    s.UBBUrl = "[url=$1]$2[/url]";
    s.UBBImg = "[img]$1[/img]";
    s.UBBFlash = "[flash=$1,$2]$3[/flash]";
    s.UBBRm = "[rm=$1,$2]$3[/rm]";
    s.UBBMp = "[wmv=$1,$2]$3[/wmv]";
    return s;
}

} // namespace

TEST(TagBuilder, UbbTags) {
    const TSettingsMirror s = defaults();
    TSettingsMirror noDesc = s;
    noDesc.UBBUrl = "[url]$1[/url]";
    TSettingsMirror empty;
    const struct {
        const char* name;
        const TSettingsMirror& settings;
        TagKind kind;
        QByteArray first;
        QByteArray second;
        QByteArray expected;
    } cases[] = {
        {"link", s, TagKind::Link, "http://a.b/c", "desc", "[url=http://a.b/c]desc[/url]"},
        {"image", s, TagKind::Image, "http://a.b/c.gif", "", "[img]http://a.b/c.gif[/img]"},
        // The second substitution runs over the address too.
        {"address holding $2", s, TagKind::Link, "http://x/$2", "D", "[url=http://x/D]D[/url]"},
        {"template without $2", noDesc, TagKind::Link, "http://x", "dropped",
         "[url]http://x[/url]"},
        {"empty template", empty, TagKind::Image, "http://x", "", ""},
        {"flash", s, TagKind::Flash, "500,350", "f.swf", "[flash=500,350]f.swf[/flash]"},
        {"real", s, TagKind::Real, "320,240", "r.rm", "[rm=320,240]r.rm[/rm]"},
        {"media", s, TagKind::Media, "1,2", "m.wmv", "[wmv=1,2]m.wmv[/wmv]"},
        {"height cut to five", s, TagKind::Flash, "500,1234567", "f", "[flash=500,12345]f[/flash]"},
        {"only the first comma splits", s, TagKind::Flash, "5,6,7", "f", "[flash=5,6,7]f[/flash]"},
        {"no comma", s, TagKind::Flash, "1234567", "f", "[flash=,12345]f[/flash]"},
        {"empty size", s, TagKind::Media, "", "m", "[wmv=,]m[/wmv]"},
        // Five characters, not five bytes: a Chinese character is never cut.
        {"chinese height", s, TagKind::Flash, gb("1,高度一二三四五"), "f",
         gb("[flash=1,高度一二三]f[/flash]")},
        {"emoji height", s, TagKind::Flash, gb("😀😀😀😀😀😀"), "f", gb("[flash=,😀😀😀😀😀]f[/flash]")},
        {"chinese address", s, TagKind::Image, gb("http://论坛/图.jpg"), "",
         gb("[img]http://论坛/图.jpg[/img]")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MakeUbbTag(c.kind, c.first, c.second, c.settings), c.expected) << c.name;
}

TEST(TagBuilder, HtmlTags) {
    const struct {
        TagKind kind;
        QByteArray address;
        QByteArray description;
        QByteArray expected;
    } cases[] = {
        {TagKind::Link, "http://a", "d", "<a href=http://a target=_blank>d</a>"},
        {TagKind::Image, "http://a.gif", "dropped", "<img src=http://a.gif border=0>"},
        {TagKind::Link, "http://$2", "x", "<a href=http://x target=_blank>x</a>"},
        {TagKind::Flash, "f.swf", "", ""},
        // Ordinary addresses and texts come out as they are.
        {TagKind::Link, "http://a/b?x=1&y=2#z", "a;b",
         "<a href=http://a/b?x=1&y=2#z target=_blank>a;b</a>"},
        {TagKind::Link, "http://\xc2\xdb\xcc\xb3/", "\xc2\xdb\xcc\xb3",
         "<a href=http://\xc2\xdb\xcc\xb3/ target=_blank>\xc2\xdb\xcc\xb3</a>"},
        // Nothing captured becomes markup of its own.
        {TagKind::Image, "x onerror=alert(1)", "", "<img src=x%20onerror=alert(1) border=0>"},
        {TagKind::Image, "a\"b'c<d>e\tf", "", "<img src=a%22b%27c%3Cd%3Ee%09f border=0>"},
        {TagKind::Link, "u", "<b>&amp;</b>",
         "<a href=u target=_blank>&lt;b&gt;&amp;amp;&lt;/b&gt;</a>"},
        {TagKind::Link, "u><script>", "d", "<a href=u%3E%3Cscript%3E target=_blank>d</a>"},
        // A "$2" of the address takes the description, encoded as an address.
        {TagKind::Link, "http://x/$2", "\" onmouseover=alert(1) ",
         "<a href=http://x/%22%20onmouseover=alert(1)%20 target=_blank>\" onmouseover=alert(1) "
         "</a>"},
        {TagKind::Image, "$2.gif", "a b", "<img src=a%20b.gif border=0>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MakeHtmlTag(c.kind, c.address, c.description), c.expected) << c.address.data();
}

TEST(TagBuilder, LeftCharactersKeepsMalformedBytes) {
    // A stray lead byte counts as one character and stays as it is.
    EXPECT_EQ(LeftCharacters(QByteArray("\x81 bcdef"), 3), QByteArray("\x81 b"));
    // A four-byte character (an emoji) is one character.
    EXPECT_EQ(LeftCharacters(gb("😀a"), 1), gb("😀"));
    // "\x81" then 'a' is a double-byte character, not two.
    EXPECT_EQ(LeftCharacters(QByteArray("\x81"
                                        "abc"),
                             2),
              QByteArray("\x81"
                         "ab"));
    EXPECT_EQ(LeftCharacters(gb("中文"), 1), gb("中"));
    EXPECT_EQ(LeftCharacters("ab", 5), "ab");
}

TEST(TagBuilder, AppendContentLine) {
    const struct {
        const char* content;
        const char* line;
        const char* expected;
    } cases[] = {
        {"", "x", "x"},
        {"a", "x", "a\nx"},
        {"a\n", "x", "a\nx"},
        {"a", "", "a\n"},
        {"a", "x\r\ny\rz", "a\nx\ny\nz"},
        {"a\nb", "x", "a\nb\nx"},
    };
    for (const auto& c : cases) {
        const QString content = QString::fromUtf8(c.content);
        EXPECT_EQ(ContentWithLine(content, QString::fromUtf8(c.line)),
                  QString::fromUtf8(c.expected))
            << c.content << "+" << c.line;

        // The memo's caret and selection play no part.
        QPlainTextEdit memo;
        memo.setPlainText(content);
        QTextCursor cursor = memo.textCursor();
        cursor.setPosition(0);
        if (!content.isEmpty())
            cursor.setPosition(1, QTextCursor::KeepAnchor);
        memo.setTextCursor(cursor);
        AppendContentLine(&memo, QString::fromUtf8(c.line));
        EXPECT_EQ(memo.toPlainText(), QString::fromUtf8(c.expected)) << c.content << "+" << c.line;
    }
}

TEST(TagBuilder, InsertImageAddress) {
    TSettingsMirror s = defaults();
    s.NoConvert = true; // not consulted: always the UBB form
    s.Convert2UBB = false;
    const struct {
        const char* content;
        const char* address;
        bool added;
        const char* expected;
    } cases[] = {
        {"", "http://a/1.gif", true, "[img]http://a/1.gif[/img]"},
        {"see http://a/1.gif", "http://a/1.gif", false, "see http://a/1.gif"},
        {"http://a/1.gif.bak", "http://a/1.gif", false, "http://a/1.gif.bak"},
        {"HTTP://A/1.GIF", "http://a/1.gif", true, "HTTP://A/1.GIF\n[img]http://a/1.gif[/img]"},
        {"text", "", true, "text\n[img][/img]"},
        {"图片：中文.jpg", "中文.jpg", false, "图片：中文.jpg"},
    };
    for (const auto& c : cases) {
        QPlainTextEdit memo;
        memo.setPlainText(QString::fromUtf8(c.content));
        EXPECT_EQ(InsertImageAddress(&memo, gb(c.address), s), c.added) << c.address;
        EXPECT_EQ(memo.toPlainText(), QString::fromUtf8(c.expected)) << c.address;
    }
}

TEST(TagBuilder, AddressMatchesWholeCharactersOnly) {
    // The double-byte character 81 41 ends in the byte of 'A': a byte search
    // would find "A" inside it.
    const QByteArray bytes("\x81\x41", 2);
    const QString content = AnsiCodePage::toUnicode(bytes);
    ASSERT_EQ(content.size(), 1);
    EXPECT_FALSE(ContentHoldsAddress(content, QStringLiteral("A")));
}
