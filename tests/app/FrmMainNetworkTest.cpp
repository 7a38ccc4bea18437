#include "net/TFrmDownfile.h"
#include "settings/IniFile.h"
#include "tests/app/MainWindowHarness.h"
#include "tests/net/NetTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>

namespace {

QList<QMessageBox*> visibleBoxes() {
    QList<QMessageBox*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
            boxes << box;
    return boxes;
}

class MainNetwork : public MainWindowHarness {
  protected:
    void startWith(const QByteArray& postUrl, const QByteArray& common = {}) {
        writeConfig({"原创", "B", "C", "D", "E", "F"},
                    "ldate=" + QDate::currentDate().toString("yyyy-MM-dd").toLatin1() + "\r\n" +
                        common + "[PostData]\r\nURL=" + postUrl + "\r\n");
        start();
        win->show();
    }
    QString statusPanel() {
        return child<QStatusBar>("MyStatusBar")->findChild<QLabel*>("MyStatusBarPanel1")->text();
    }
    void fillPost(const QString& t, const QString& c) {
        title()->setText(t);
        memo()->setPlainText(c);
    }
};

HttpReply redirectAfterPost(const HttpExchange&) {
    HttpReply r;
    r.status = 302;
    r.headers << "Location: /thanks.html";
    return r;
}

} // namespace

TEST_F(MainNetwork, IncompletePostsAreRefusedWithAMessageAndSendNothing) {
    TestHttpServer server(redirectAfterPost);
    const struct {
        QByteArray url;
        const char* title;
        const char* content;
        const char* message;
    } cases[] = {
        {"", "t", "c", "您还没有设置数据提交地址！"},
        {"ftp://127.0.0.1/x", "t", "c", "无效的数据提交地址！"},
        {server.url("/s").toLatin1(), "t", "", "请选择您要发布的帖子！"},
        {server.url("/s").toLatin1(), "", "c", "请选择您要发布的帖子！"},
    };
    for (const auto& c : cases) {
        startWith(c.url);
        fillPost(QString::fromUtf8(c.title), QString::fromUtf8(c.content));
        ModalAnswer answer;
        answer.press();
        click("btnPostData");
        EXPECT_TRUE(answer.answered);
        EXPECT_EQ(answer.seenText, QString::fromUtf8(c.message));
        EXPECT_EQ(answer.seenTitle, QStringLiteral("提示"));
        EXPECT_TRUE(child<QToolButton>("btnPostData")->isEnabled());
        win.reset();
    }
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(MainNetwork, TwoClicksSendTwoPostsAndTheStatusBarSaysSubmitted) {
    TestHttpServer server(redirectAfterPost);
    startWith(server.url("/post.php").toLatin1());
    fillPost(QStringLiteral("标题"), QStringLiteral("第一行\n第二行"));
    auto* button = child<QToolButton>("btnPostData");
    // The window keeps answering while the button pauses.
    bool ticked = false;
    QTimer::singleShot(100, [&ticked] { ticked = true; });
    QElapsedTimer clock;
    clock.start();
    button->click();
    EXPECT_FALSE(button->isEnabled());
    EXPECT_LT(clock.elapsed(), 500);
    ASSERT_TRUE(waitFor([&] { return button->isEnabled(); }, 5000));
    EXPECT_TRUE(ticked);
    EXPECT_GE(clock.elapsed(), 900); // a coarse timer may fire a little early
    ASSERT_TRUE(waitFor([&] { return statusPanel() == QStringLiteral("已提交"); }));
    EXPECT_TRUE(visibleBoxes().isEmpty());

    button->click();
    ASSERT_TRUE(server.waitForRequests(2, 10000));
    const QList<HttpExchange> sent = server.exchanges();
    EXPECT_EQ(sent[0].body, sent[1].body);
    // The memo's line break travels as CR LF, the category is the tab name.
    EXPECT_EQ(sent[0].body, "subject=%B1%EA%CC%E2&content=%B5%DA%D2%BB%D0%D0%250D%250A"
                            "%B5%DA%B6%FE%D0%D0&class=%D4%AD%B4%B4&");
    EXPECT_EQ(sent[0].path, "/post.php");
    EXPECT_EQ(server.requestCount(), 2); // the redirect was not followed
}

TEST_F(MainNetwork, FailuresAreToldInTheStatusBarOnly) {
    TestHttpServer notFound([](const HttpExchange&) {
        HttpReply r;
        r.status = 404;
        return r;
    });
    TestHttpServer stalled([](const HttpExchange&) {
        HttpReply r;
        r.stall = true;
        return r;
    });
    const struct {
        QByteArray url;
        const char* text;
    } cases[] = {
        {notFound.url("/s").toLatin1(), "提交失败：HTTP 404"},
        {stalled.url("/s").toLatin1(), "提交失败：服务器没有响应"},
        {QString("http://127.0.0.1:%1/s").arg(closedPort()).toLatin1(), "提交失败：连接被拒绝"},
    };
    for (const auto& c : cases) {
        startWith(c.url);
        fillPost("t", "c");
        click("btnPostData");
        EXPECT_EQ(statusPanel(), QStringLiteral("正在提交…"));
        EXPECT_TRUE(waitFor([&] { return statusPanel().startsWith(QStringLiteral("提交失败")); }));
        EXPECT_EQ(statusPanel(), QString::fromUtf8(c.text));
        EXPECT_TRUE(visibleBoxes().isEmpty());
        win.reset();
    }
}

TEST_F(MainNetwork, StatusBarSecondPanelStretchesToTheWindowWidth) {
    startWith("");
    QApplication::processEvents();
    auto* bar = child<QStatusBar>("MyStatusBar");
    EXPECT_EQ(bar->findChild<QLabel*>("MyStatusBarPanel0")->width(), 50);
    EXPECT_GT(bar->findChild<QLabel*>("MyStatusBarPanel1")->width(), 350);
}

TEST_F(MainNetwork, ClosingDuringAStalledSubmissionEndsPromptly) {
    TestHttpServer server([](const HttpExchange&) {
        HttpReply r;
        r.stall = true;
        return r;
    });
    startWith(server.url("/s").toLatin1());
    fillPost("t", "c");
    click("btnPostData");
    ASSERT_TRUE(server.waitForRequests(1, 10000));
    ModalAnswer discard; // the post typed is not saved
    discard.press(QMessageBox::Discard);
    QElapsedTimer clock;
    clock.start();
    win->close();
    win.reset();
    EXPECT_LT(clock.elapsed(), 3000);
}

TEST_F(MainNetwork, UsageRequestIsSentAtTheFirstStartOfTheDay) {
    TestHttpServer server([](const HttpExchange&) { return HttpReply{}; });
    writeConfig({"A"}, "ldate=2000-01-01\r\nUsageURL=" + server.url("/count").toLatin1() + "\r\n");
    start();
    ASSERT_TRUE(server.waitForRequests(1, 10000));
    EXPECT_EQ(server.exchanges()[0].body, "");
    EXPECT_EQ(IniFile(env.programDir() + "config.ini").readString("Common", "ldate"),
              QDate::currentDate().toString("yyyy-MM-dd").toLatin1());
    win.reset();
    start(); // the same day again
    QTest::qWait(300);
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_EQ(win->settings().UsageURL, server.url("/count").toLatin1());
}

TEST_F(MainNetwork, DownloadAllImagesListsTheAddressesOfTheContent) {
    startWith("");
    fillPost(
        QStringLiteral("帖子"),
        QStringLiteral("[img]http://b.example.com/2.png[/img]\n图 https://a.example.com/x/1.gif 尾"
                       "\nhttp://a.example.com:81/no.gif"));
    TFrmDownfile* dialog = win->downloadDialog();
    ASSERT_NE(dialog, nullptr);
    QStringList listed;
    QTimer::singleShot(0, dialog, [dialog, &listed] {
        auto* list = dialog->findChild<QListWidget*>("clbfilelist");
        for (int i = 0; i < list->count(); ++i)
            listed << list->item(i)->text();
        dialog->reject();
    });
    win->DownloadAllImages();
    EXPECT_EQ(listed, (QStringList{"http://b.example.com/2.png", "https://a.example.com/x/1.gif"}));
    if (auto* item = win->findChild<QAction*>("NDownloadImages")) {
        EXPECT_TRUE(item->isEnabled());
    }
}
