#include "markup/UbbToHtml.h"

#include "platform/AnsiCodePage.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace UbbPreview;

namespace {

TSettingsMirror defaults() {
    TSettingsMirror s;
    s.UBBUrl = "[url=$1]$2[/url]";
    s.UBBImg = "[img]$1[/img]";
    s.UBBFlash = "[flash=$1,$2]$3[/flash]";
    s.UBBRm = "[rm=$1,$2]$3[/rm]";
    s.UBBMp = "[wmv=$1,$2]$3[/wmv]";
    return s;
}

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

const char* const kEmbedTail =
    " quality=high wmode=transparent TYPE=\"application/x-shockwave-flash\"></EMBED>";

} // namespace

TEST(PreviewPatterns, DerivedFromTheTemplatesInPlaceholderOrder) {
    const struct {
        QString (*derive)(const QString&);
        const char* tmpl;
        const char* expected;
    } cases[] = {
        {LinkPattern, "[url=$1]$2[/url]", R"(\[url=(.[^\[]*)\](.[^\[]*)\[\/url\])"},
        {LinkPattern, "[url=$2]$1[/url]", R"(\[url=(.[^\[]*)\](.[^\[]*)\[\/url\])"},
        {LinkPattern, "[link]$2[/link]", R"(\[link\](.[^\[]*)\[\/link\])"},
        {ImagePattern, "[img]$1[/img]", R"(\[img\](.[^\[]*)\[\/img\])"},
        // The image pattern knows only "$1".
        {ImagePattern, "[img=$2]$1[/img]", R"(\[img=$2\](.[^\[]*)\[\/img\])"},
        {FlashPattern, "[flash=$1,$2]$3[/flash]",
         R"(\[flash=*([0-9]*),*([0-9]*)\](.[^\[]*)\[\/flash\])"},
        {FlashPattern, "[flash=$2,$1]$3[/flash]",
         R"(\[flash=*([0-9]*),*([0-9]*)\](.[^\[]*)\[\/flash\])"},
        {FlashPattern, "[swf w=$1 h=$2]$3[/swf]",
         R"(\[swf w=*([0-9]*) h=*([0-9]*)\](.[^\[]*)\[\/swf\])"},
        // Other pattern characters are not escaped.
        {LinkPattern, "<a href=$1>$2</a>", R"(<a href=(.[^\[]*)>(.[^\[]*)<\/a>)"},
        {LinkPattern, "[链接=$1]$2[/链接]", "\\[链接=(.[^\\[]*)\\](.[^\\[]*)\\[\\/链接\\]"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.derive(u(c.tmpl)), u(c.expected)) << c.tmpl;
}

TEST(Preview, EachRuleConvertsItsOwnTag) {
    const TSettingsMirror s = defaults();
    const QString tail = QString::fromLatin1(kEmbedTail);
    const struct {
        const char* name;
        const char* ubb;
        QString html;
    } cases[] = {
        {"two blanks", "a  b", "a&nbsp;&nbsp;b"},
        {"bold lower", "[b]粗体[/b]", u("<b>粗体</b>")},
        {"bold upper", "[B]X[/B]", "<b>X</b>"},
        {"colour", "[color=red]红色[/color]", u("<font color=red>红色</font>")},
        {"email", "[email]a@b.cn[/email]", "<A HREF=\"mailto:a@b.cn\">a@b.cn</A>"},
        {"email with text", "[email=a@b.cn]写信[/email]",
         u("<A HREF=\"mailto:a@b.cn\" TARGET=_blank>写信</A>")},
        {"image", "[img]http://x/图.jpg[/img]", u("<img src=\"http://x/图.jpg\" border=0>")},
        {"bare url", "[url]http://a.b/[/url]",
         "<a href=\"http://a.b/\" target=_blank>http://a.b/</a>"},
        {"url with text", "[url=http://a.b/]论坛[/url]",
         u("<a href=\"http://a.b/\" target=_blank>论坛</a>")},
        {"blank in link text", "[url=http://a.b/]my site[/url]",
         "<a href=\"http://a.b/\" target=_blank>my&nbsp;site</a>"},
        {"bare flash", "[flash]f.swf[/flash]", "<EMBED src=f.swf" + tail},
        {"flash from the dialog", "[flash=500,350]f.swf[/flash]",
         "<EMBED src=f.swf width=500 height=350" + tail},
        {"flash with three numbers", "[flash=1,2,3]f.swf[/flash]",
         "<EMBED src=f.swf width=1 height=2" + tail},
        {"line breaks", "a\r\nb\nc", "a<br>b\nc"},
        {"real and media stay", "[rm=1,2]r.rm[/rm][wmv=1,2]m.wmv[/wmv]",
         "[rm=1,2]r.rm[/rm][wmv=1,2]m.wmv[/wmv]"},
        {"chinese around a tag", "前文[b]粗[/b]后文", u("前文<b>粗</b>后文")},
        {"chinese around an image", "图：[img]x.png[/img]。",
         u("图：<img src=\"x.png\" border=0>。")},
        {"colour inside bold stays bold markup", "[b][color=red]红[/color][/b]",
         u("[b]<font color=red>红</font>[/b]")},
        {"bold inside colour", "[color=red][b]粗[/b][/color]",
         u("<font color=red><b>粗</b></font>")},
        {"empty bold", "[b][/b]", "[b][/b]"},
        {"empty url", "[url][/url]", "[url][/url]"},
        {"empty image", "[img][/img]", "[img][/img]"},
        // 乕 is 81 5B in GB18030: its trail byte looks like "[".
        {"trail byte like a bracket", "乕B]x[/B]", u("乕B]x[/B]")},
        {"html passes through", "<i>斜</i><hr>", u("<i>斜</i><hr>")},
        {"emoji", "[b]😀[/b]", u("<b>😀</b>")},
        {"nothing to do", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UbbToHtml(u(c.ubb), s), c.html) << c.name;
        // Chinese text right before and after changes nothing.
        EXPECT_EQ(UbbToHtml(u("中文") + u(c.ubb) + u("乕文"), s), u("中文") + c.html + u("乕文"))
            << c.name;
    }
}

TEST(Preview, CustomTemplatesPreviewTheirOwnTags) {
    TSettingsMirror s = defaults();
    s.UBBUrl = "[link=$1]$2[/link]";
    s.UBBImg = AnsiCodePage::fromUnicode(u("[图]$1[/图]"));
    s.UBBFlash = "[swf]$3[/swf]";
    const struct {
        const char* ubb;
        QString html;
    } cases[] = {
        {"[link=http://a]x[/link]", "<a href=\"http://a\" target=_blank>x</a>"},
        {"[图]p.gif[/图]", "<img src=\"p.gif\" border=0>"},
        // The Flash pattern has one group, so $2 and $3 are empty.
        {"[swf]f.swf[/swf]", "<EMBED src= width=f.swf height=" + QString::fromLatin1(kEmbedTail)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UbbToHtml(u(c.ubb), s), c.html) << c.ubb;
}

TEST(Preview, LinkTemplateWithDescriptionFirstPreviewsTheFieldsSwapped) {
    TSettingsMirror s = defaults();
    s.UBBUrl = "[url=$2]$1[/url]";
    EXPECT_EQ(UbbToHtml(u("[url=desc]http://a[/url]"), s),
              "<a href=\"desc\" target=_blank>http://a</a>");
}

TEST(Preview, BrokenTemplatesStopThePreviewNamingTheTemplate) {
    const struct {
        const char* name;
        QByteArray TSettingsMirror::*field;
        QByteArray value;
        const char* says;
    } cases[] = {
        {"empty link template", &TSettingsMirror::UBBUrl, "", "链接标签模板为空"},
        {"empty image template", &TSettingsMirror::UBBImg, "", "图片标签模板为空"},
        {"empty flash template", &TSettingsMirror::UBBFlash, "", "Flash动画标签模板为空"},
        {"unbalanced group", &TSettingsMirror::UBBUrl, "[url=$1($2]", "第8条"},
        {"quantifier first", &TSettingsMirror::UBBFlash, "$1x$3", "第10条"},
        {"broken image template", &TSettingsMirror::UBBImg, "[img)$1", "第6条"},
    };
    for (const auto& c : cases) {
        TSettingsMirror s = defaults();
        s.*c.field = c.value;
        try {
            UbbToHtml(u("[b]x[/b]"), s);
            ADD_FAILURE() << c.name << ": no error";
        } catch (const RuleError& e) {
            EXPECT_TRUE(e.message().contains(u(c.says))) << c.name << ": " << e.what();
        }
    }
}

TEST(Preview, HostileTagsStopAfterTheTimeBudgetNamingTheRule) {
    const struct {
        QString ubb;
        const char* rule;
    } cases[] = {
        // The rule's own closing part after them keeps every start a
        // candidate; the "[" before it is one the pattern cannot step over.
        {"[color=" + QString(300000, u']') + "[a[b[/color]", "第3条"},
        {"[url=" + QString(300000, u']') + "[a[b[/url]", "第8条"},
    };
    for (const auto& c : cases) {
        QElapsedTimer timer;
        timer.start();
        try {
            UbbToHtml(c.ubb, defaults());
            ADD_FAILURE() << c.rule << ": finished";
        } catch (const RuleTimeout& e) {
            EXPECT_TRUE(e.message().startsWith(u("预览转换超时"))) << e.what();
            EXPECT_TRUE(e.message().contains(u(c.rule))) << e.what();
        }
        EXPECT_GE(timer.elapsed(), 1900);
        // Well short of the minutes the patterns would take to finish.
        EXPECT_LT(timer.elapsed(), 6000);
    }
}

TEST(Preview, LongPostsWithManyOpenTagsFinish) {
    const struct {
        const char* name;
        QString ubb;
    } cases[] = {
        {"brackets", QString(1000000, u'[')},
        {"open bold tags", QString(u("[b]")).repeated(300000)},
        {"open colour tags", QString(u("[color=")).repeated(150000)},
        {"colour tag that never closes", "[color=" + QString(300000, u']')},
        {"link tag that never closes", "[url=" + QString(300000, u']') + "[b]"},
        {"chinese without tags", QString(u("中文字")).repeated(300000)},
    };
    for (const auto& c : cases)
        // Speed is for the benchmark; here only the result counts.
        EXPECT_EQ(UbbToHtml(c.ubb, defaults(), std::chrono::minutes(1)), c.ubb) << c.name;
}

TEST(RegexReplaceAll, ReplacesEveryMatchOnce) {
    const struct {
        const char* pattern;
        const char* text;
        const char* replacement;
        const char* expected;
    } cases[] = {
        {"x*", "abc", "-", "-a-b-c-"},
        {"x*", "中文", "-", "-中-文-"},
        {"(.)", "中文", "<$1>", "<中><文>"},
        {"(a.b)", "A\nB", "[$1]", "[A\nB]"},
        {"a", "aAa", "$9", ""},
        {"(a)|(b)", "ab", "<$1$2>", "<a><b>"},
        {"a", "a", "$", "$"},
        {"a", "a", "$$1", "$"},
        {"b+", "abbbcb", "$0", "abbbcb"},
        {"zz", "abc", "!", "abc"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RegexReplaceAll(c.pattern, c.text, c.replacement), QByteArray(c.expected))
            << c.pattern << " on " << c.text;
}

TEST(RegexReplaceAll, RefusesWhatItCannotDo) {
    EXPECT_THROW(RegexReplaceAll("(", "a", "b"), RuleError);
    EXPECT_THROW(RegexReplaceAll("a", "a", "b", Clock::now() - std::chrono::seconds(1)),
                 RuleTimeout);
}

// Each rule gives the engine only the text up to where its closing part can
// end; a closing part whose letters match across case ("ſ" for "s") and
// tags near the ends of the text convert as the whole text would.
TEST(Preview, RulesEndTheirSearchAfterTheLastClosingPart) {
    const QByteArray flash = R"(\[FLASH\](.[^\[]*)\[\/FLASH\])";
    const QByteArray embed = QByteArray("<EMBED src=$1") + kEmbedTail;
    const struct {
        const char* name;
        const char* ubb;
    } cases[] = {
        {"long s in the closing part", "[flash]f.swf[/flaſh]"},
        {"closing part at the very end", "x[flash]f.swf[/FLASH]"},
        {"no closing part after the opening", "[flash]f.swf[/flash][flash]g.swf"},
        {"a closing part of another tag last", "[flash]f.swf[/flash][/b]"},
        {"only another tag's closing part", "[flash]f.swf[/b][/flas]"},
        {"the closing part cut off by the end", "[flash]f.swf[/flas"},
        {"a closing part before others", "[flash]f.swf[/Flash][/b][/fl][/url]"},
    };
    TSettingsMirror s = defaults();
    s.UBBFlash = "[flash=$1,$2]$3[/flash]";
    for (const auto& c : cases) {
        EXPECT_EQ(UbbToHtml(u(c.ubb), s),
                  QString::fromUtf8(RegexReplaceAll(flash, QByteArray(c.ubb), embed)))
            << c.name;
    }
}
