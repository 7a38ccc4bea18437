#include "markup/PreviewPage.h"
#include "markup/UbbToHtml.h"

#include "platform/AnsiCodePage.h"
#include "platform/ErrorReporter.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

TSettingsMirror defaults() {
    TSettingsMirror s;
    s.UBBUrl = "[url=$1]$2[/url]";
    s.UBBImg = "[img]$1[/img]";
    s.UBBFlash = "[flash=$1,$2]$3[/flash]";
    return s;
}

QByteArray gb(const char* utf8) {
    return AnsiCodePage::fromUnicode(QString::fromUtf8(utf8));
}

// A program folder, a recorder instead of the browser and a catcher instead
// of the error box.
class PreviewPage : public ::testing::Test {
  protected:
    TestEnv env;
    QList<QUrl> opened;
    QStringList errors;
    bool openerAnswers = true;

    void SetUp() override {
        PreviewOpener::set([this](const QUrl& url) {
            opened << url;
            return openerAnswers;
        });
        ErrorReporter::setHandler([this](const QString& message) { errors << message; });
    }
    void TearDown() override {
        PreviewOpener::set({});
        ErrorReporter::setHandler({});
    }
    QUrl pageUrl() const { return QUrl::fromLocalFile(env.programDir() + "preview.htm"); }
};

} // namespace

TEST(PreviewPageBytes, DeclaresTheCharacterSetAndForbidsScriptsBeforeTheTitle) {
    EXPECT_EQ(PreviewPageBytes(QString::fromUtf8("标题<i>😀"),
                               QString::fromUtf8("你好&nbsp;<b>世界</b><br>bye")),
              gb("<html><head><meta charset=\"gb18030\"><meta http-equiv=\"Content-Security-"
                 "Policy\" content=\"script-src 'none'\"><title>标题<i>😀</title></head><body>"
                 "<h3>标题<i>😀</h3><table width=80%><tr><td>你好&nbsp;<b>世界</b><br>bye</td>"
                 "</tr></table></body></html>\r\n"));
}

TEST_F(PreviewPage, ASmallPostIsWrittenAndOpened) {
    const struct {
        const char* title;
        const char* content;
        const char* body;
    } cases[] = {
        {"标题", "你好 [b]世界[/b]\r\nbye", "你好&nbsp;<b>世界</b><br>bye"},
        // An empty title does not stop the preview.
        {"", "[img]http://x/a.png[/img]", "<img src=\"http://x/a.png\" border=0>"},
    };
    for (const auto& c : cases) {
        opened.clear();
        EXPECT_TRUE(PreviewPost(env.programDir(), QString::fromUtf8(c.title),
                                QString::fromUtf8(c.content), defaults()));
        EXPECT_EQ(env.readFile("preview.htm"),
                  PreviewPageBytes(QString::fromUtf8(c.title), QString::fromUtf8(c.body)));
        EXPECT_EQ(opened, QList<QUrl>{pageUrl()});
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    // Only the page itself is left in the folder.
    EXPECT_EQ(QDir(env.programDir()).entryList(QDir::Files), QStringList{"preview.htm"});
}

TEST_F(PreviewPage, EmptyContentWritesAndOpensNothing) {
    EXPECT_FALSE(PreviewPost(env.programDir(), QStringLiteral("标题"), QString(), defaults()));
    EXPECT_FALSE(env.exists("preview.htm"));
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(PreviewPage, FailuresAreShownAndKeepTheOldPage) {
    TSettingsMirror emptyLink = defaults();
    emptyLink.UBBUrl.clear();
    const struct {
        const char* name;
        TSettingsMirror settings;
        QString content;
        const char* says;
    } cases[] = {
        {"empty template", emptyLink, "x", "链接标签模板为空"},
        {"hostile colour tag", defaults(), "[color=" + QString(300000, u']') + "[a[b[/color]",
         "预览转换超时"},
    };
    env.writeFile("preview.htm", "old page");
    for (const auto& c : cases) {
        errors.clear();
        EXPECT_FALSE(PreviewPost(env.programDir(), "t", c.content, c.settings));
        ASSERT_EQ(errors.size(), 1) << c.name;
        EXPECT_TRUE(errors[0].contains(QString::fromUtf8(c.says))) << errors[0].toStdString();
        EXPECT_EQ(env.readFile("preview.htm"), "old page") << c.name;
        EXPECT_TRUE(opened.isEmpty()) << c.name;
    }
}

TEST_F(PreviewPage, APageThatCannotBeWrittenIsReportedAndNotOpened) {
    // A folder in the page's place cannot be replaced by a file.
    ASSERT_TRUE(QDir(env.programDir()).mkpath("preview.htm/inside"));
    EXPECT_FALSE(PreviewPost(env.programDir(), "t", "x", defaults()));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith(QString::fromUtf8("无法写入预览页")))
        << errors[0].toStdString();
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(PreviewPage, ABrowserThatCannotBeStartedIsReported) {
    openerAnswers = false;
    EXPECT_FALSE(PreviewPost(env.programDir(), "t", "x", defaults()));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QString::fromUtf8("无法用默认浏览器打开")))
        << errors[0].toStdString();
    EXPECT_TRUE(env.exists("preview.htm"));
}

TEST(PreviewPageInBrowser, ScriptsInThePostDoNotRunAndChineseShows) {
    const QString chromium = QStandardPaths::findExecutable("chromium");
    if (chromium.isEmpty())
        GTEST_SKIP() << "chromium is not installed";
    TestEnv env;
    const QString body =
        UbbToHtml(QString::fromUtf8("[b]中文正文[/b]<svg/onload=document.body.innerHTML='PWNED'>"
                                    "</svg><img/src=x/onerror=document.title='PWNED'>"),
                  defaults());
    env.writeFile("preview.htm", PreviewPageBytes(QString::fromUtf8("标题"), body));
    QProcess browser;
    browser.start(chromium, {"--headless=new", "--no-sandbox", "--disable-gpu",
                             "--user-data-dir=" + env.root() + "chromium", "--dump-dom",
                             QUrl::fromLocalFile(env.programDir() + "preview.htm").toString()});
    ASSERT_TRUE(browser.waitForFinished(60000));
    const QString dom = QString::fromUtf8(browser.readAllStandardOutput());
    EXPECT_TRUE(dom.contains(QString::fromUtf8("<title>标题</title>"))) << dom.toStdString();
    EXPECT_TRUE(dom.contains(QString::fromUtf8("<b>中文正文</b>"))) << dom.toStdString();
    EXPECT_FALSE(dom.contains("PWNED</")) << dom.toStdString();
}
