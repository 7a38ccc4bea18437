#include "net/TFrmDownfile.h"
#include "net/TThreadDownfile.h"
#include "settings/IniFile.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/TestEnv.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace {

const QByteArray kImage = QByteArray("\x89PNG") + QByteArray(3000, 'p');

HttpReply imageHost(const HttpExchange& x) {
    HttpReply r;
    if (x.path.startsWith("/slow/"))
        r.delayMs = 800;
    if (x.path.endsWith("/missing.png")) {
        r.status = 404;
    } else if (x.path.endsWith("/moved.png")) {
        r.status = 302;
        r.headers << "Location: /img/a.png";
    } else {
        r.body = kImage;
    }
    return r;
}

template <typename T> T* child(QObject& parent, const char* name) {
    T* w = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

QStringList listed(TFrmDownfile& dlg) {
    QStringList out;
    auto* list = child<QListWidget>(dlg, "clbfilelist");
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text() + (list->item(i)->checkState() == Qt::Checked ? "+" : "");
    return out;
}

// Answers the next message box (not the download dialog) with OK, from a
// timer, and remembers its text.
class MessageAnswer {
  public:
    MessageAnswer() {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (box && box->isVisible()) {
                    texts << box->text();
                    buttons << box->buttons().value(0)->text();
                    box->buttons().value(0)->click();
                }
            }
        });
        m_timer.start();
    }
    QStringList texts;
    QStringList buttons;

  private:
    QTimer m_timer;
};

class TFrmDownfileTest : public ::testing::Test {
  protected:
    TestEnv env;
    QString iniPath() const { return env.programDir() + QStringLiteral("config.ini"); }
    QString saveDir() const { return env.root() + QStringLiteral("save"); }
    std::unique_ptr<TFrmDownfile> make(const QByteArray& stored = {}) {
        if (!stored.isNull())
            env.writeFile("config.ini", "[Common]\r\nDownload=" + stored + "\r\n");
        return std::make_unique<TFrmDownfile>(iniPath());
    }
    // Runs the dialog modally, presses "开始下载" and waits for it to close.
    void runDownload(TFrmDownfile& dlg, const QString& title, const QStringList& addresses) {
        QPointer<TFrmDownfile> guard(&dlg);
        QTimer::singleShot(0, &dlg, [&dlg] {
            if (QApplication::activeModalWidget() == &dlg)
                child<QPushButton>(dlg, "btnok")->click();
        });
        // Whatever happens, the dialog does not outlive the test's patience.
        QTimer::singleShot(20000, &dlg, [&dlg] { dlg.reject(); });
        dlg.ShowDownloads(title, addresses);
    }
};

} // namespace

TEST_F(TFrmDownfileTest, ControlsCaptionsAndTheDefaultFolder) {
    auto dlg = make();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("下载文件"));
    EXPECT_EQ(child<QLabel>(*dlg, "Label1")->text(), QStringLiteral("保存到:"));
    EXPECT_EQ(child<QPushButton>(*dlg, "btnselectpath")->text(), QStringLiteral("浏览"));
    EXPECT_EQ(child<QPushButton>(*dlg, "btnok")->text(), QStringLiteral("开始下载"));
    EXPECT_EQ(child<QPushButton>(*dlg, "btncancel")->text(), QStringLiteral("退 出"));
    EXPECT_TRUE(child<QProgressBar>(*dlg, "ProgressBar1")->isHidden());
    const struct {
        QByteArray stored;
        QString shown;
    } cases[] = {
        {QByteArray(), QDir::homePath() + "/Downloads"},
        {"c:\\", QDir::homePath() + "/Downloads"},
        {"/srv/\xcd\xbc\xc6\xac", QStringLiteral("/srv/图片")},
    };
    for (const auto& c : cases) {
        auto d = make(c.stored);
        EXPECT_EQ(child<QLineEdit>(*d, "edtsavepath")->text(), c.shown);
    }
}

TEST_F(TFrmDownfileTest, AddressesAreListedSortedAndTicked) {
    auto dlg = make();
    dlg->Prepare(QStringLiteral("t"), {"http://b.com/B.gif", "http://A.com/a.gif",
                                       "http://b.com/B.gif", "http://a.com/c.gif"});
    EXPECT_EQ(listed(*dlg), (QStringList{"http://A.com/a.gif+", "http://a.com/c.gif+",
                                         "http://b.com/B.gif+", "http://b.com/B.gif+"}));
}

TEST_F(TFrmDownfileTest, NothingToDownloadIsSaid) {
    auto dlg = make();
    dlg->Prepare(QStringLiteral("t"), {});
    dlg->show();
    MessageAnswer answer;
    child<QPushButton>(*dlg, "btnok")->click();
    EXPECT_EQ(answer.texts, QStringList{QStringLiteral("没有可下载的文件!")});
    EXPECT_EQ(answer.buttons, QStringList{QStringLiteral("确定")});
    EXPECT_TRUE(child<QPushButton>(*dlg, "btnok")->isEnabled());
}

TEST_F(TFrmDownfileTest, ThreeFilesOneFailingAreCountedAndAnnounced) {
    TestHttpServer server(imageHost);
    auto dlg = make(saveDir().toLocal8Bit());
    MessageAnswer answer;
    runDownload(
        *dlg, QStringLiteral("a/b*c"),
        {server.url("/img/a.png"), server.url("/img/missing.png"), server.url("/img/moved.png")});
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(answer.texts, QStringList{QStringLiteral("下载完成，1个文件失败!")});
    auto* bar = child<QProgressBar>(*dlg, "ProgressBar1");
    EXPECT_TRUE(bar->isVisibleTo(dlg.get()));
    EXPECT_EQ(bar->value(), 3);
    EXPECT_EQ(bar->maximum(), 3);
    const QDir folder(saveDir() + "/abc");
    EXPECT_EQ(folder.entryList(QDir::Files), (QStringList{"a.png", "moved.png"}));
    QFile moved(folder.filePath("moved.png"));
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_EQ(moved.readAll(), kImage);
    // The folder is written back when the dialog closes.
    EXPECT_EQ(IniFile(iniPath()).readString("Common", "Download"), saveDir().toLocal8Bit());
}

TEST_F(TFrmDownfileTest, EqualNamesAndADotTitleGoIntoTheSaveFolderItself) {
    TestHttpServer server(imageHost);
    auto dlg = make(saveDir().toLocal8Bit());
    MessageAnswer answer;
    const QString sameName = QStringLiteral("http://127.0.0.1:%1/other/a.png").arg(server.port());
    runDownload(*dlg, QStringLiteral(".."),
                {server.url("/img/a.png"), server.url("/img/a.png"), sameName});
    EXPECT_EQ(answer.texts, QStringList{QStringLiteral("全部下载完成!")});
    EXPECT_EQ(QDir(saveDir()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
              (QStringList{"a.png", "a001.png", "a002.png"}));
    EXPECT_FALSE(QFile::exists(env.root() + "a.png"));
}

TEST_F(TFrmDownfileTest, ClosingEarlyLetsTheDownloadsFinish) {
    TestHttpServer server(imageHost);
    auto dlg = make(saveDir().toLocal8Bit());
    MessageAnswer answer;
    QTimer::singleShot(0, dlg.get(), [&dlg] {
        child<QPushButton>(*dlg, "btnok")->click();
        EXPECT_FALSE(child<QPushButton>(*dlg, "btnok")->isEnabled());
        child<QPushButton>(*dlg, "btncancel")->click();
    });
    dlg->ShowDownloads(QStringLiteral("t"), {server.url("/slow/1.png"), server.url("/slow/2.png")});
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->pendingDownloads(), 2);
    EXPECT_TRUE(waitFor([&] { return dlg->pendingDownloads() == 0 && !answer.texts.isEmpty(); }));
    EXPECT_EQ(answer.texts, QStringList{QStringLiteral("全部下载完成!")});
    EXPECT_EQ(QDir(saveDir() + "/t").entryList(QDir::Files), (QStringList{"1.png", "2.png"}));
}

TEST_F(TFrmDownfileTest, BrowseReplacesTheFolderUnlessCancelled) {
    auto dlg = make(QByteArray("/start"));
    QString chosen = QStringLiteral("/chosen/folder");
    dlg->setFolderBrowser([&chosen](QWidget*) { return chosen; });
    auto* path = child<QLineEdit>(*dlg, "edtsavepath");
    child<QPushButton>(*dlg, "btnselectpath")->click();
    EXPECT_EQ(path->text(), QStringLiteral("/chosen/folder"));
    chosen.clear();
    child<QPushButton>(*dlg, "btnselectpath")->click();
    EXPECT_EQ(path->text(), QStringLiteral("/chosen/folder"));
}

TEST_F(TFrmDownfileTest, AFolderThatCannotBeMadeIsSaidAndNothingStarts) {
    TestHttpServer server(imageHost);
    env.writeFile("blocker", "a file, not a folder");
    auto dlg = make((env.programDir() + "blocker").toLocal8Bit());
    dlg->Prepare(QStringLiteral("t"), {server.url("/img/a.png")});
    dlg->show();
    MessageAnswer answer;
    child<QPushButton>(*dlg, "btnok")->click();
    ASSERT_EQ(answer.texts.size(), 1);
    EXPECT_TRUE(answer.texts[0].startsWith(QStringLiteral("无法创建保存目录")));
    EXPECT_TRUE(child<QPushButton>(*dlg, "btnok")->isEnabled());
    EXPECT_EQ(dlg->pendingDownloads(), 0);
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(TFrmDownfileTest, NothingTickedDownloadsNothingAndSaysNothing) {
    TestHttpServer server(imageHost);
    auto dlg = make(saveDir().toLocal8Bit());
    dlg->Prepare(QStringLiteral("t"), {server.url("/img/a.png")});
    child<QListWidget>(*dlg, "clbfilelist")->item(0)->setCheckState(Qt::Unchecked);
    dlg->show();
    MessageAnswer answer;
    child<QPushButton>(*dlg, "btnok")->click();
    QTest::qWait(300);
    EXPECT_TRUE(answer.texts.isEmpty());
    EXPECT_FALSE(child<QPushButton>(*dlg, "btnok")->isEnabled());
    auto* bar = child<QProgressBar>(*dlg, "ProgressBar1");
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->text(), QStringLiteral("0 / 0"));
    EXPECT_EQ(server.requestCount(), 0);
    // Shown again, the dialog can start again.
    dlg->Prepare(QStringLiteral("t"), {server.url("/img/a.png")});
    EXPECT_TRUE(child<QPushButton>(*dlg, "btnok")->isEnabled());
}

TEST_F(TFrmDownfileTest, EightHangingFilesHoldALaterOneOnlyUntilTheirMinimumSpeedFails) {
    // Each of the eight workers gets a file that trickles for ever; the ninth
    // file, sorted last, waits for a free worker.
    TestHttpServer server([](const HttpExchange& x) {
        HttpReply r;
        if (x.path == "/z.png") {
            r.body = kImage;
            return r;
        }
        r.body = "\x89PNG";
        r.sendLength = false;
        r.endless = true;
        r.trickleMs = 300;
        return r;
    });
    TThreadDownfile::Limits limits;
    limits.lowSpeedBytes = 100;
    limits.lowSpeedSeconds = 1;
    TThreadDownfile::SetLimits(limits);
    QStringList addresses;
    for (int i = 1; i <= 8; ++i)
        addresses << server.url(QStringLiteral("/s%1.png").arg(i));
    addresses << server.url("/z.png");
    auto dlg = make(saveDir().toLocal8Bit());
    MessageAnswer answer;
    runDownload(*dlg, QStringLiteral("t"), addresses);
    TThreadDownfile::SetLimits({});
    EXPECT_EQ(answer.texts, QStringList{QStringLiteral("下载完成，8个文件失败!")});
    EXPECT_EQ(QDir(saveDir() + "/t").entryList(QDir::Files), QStringList{"z.png"});
    EXPECT_EQ(server.exchanges().constLast().path, "/z.png");
}

TEST_F(TFrmDownfileTest, ALinkInPlaceOfTheTitleFolderIsNotFollowed) {
    TestHttpServer server(imageHost);
    const QString elsewhere = env.root() + "elsewhere";
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ASSERT_TRUE(QDir().mkpath(saveDir()));
    ASSERT_TRUE(QFile::link(elsewhere, saveDir() + "/abc"));
    auto dlg = make(saveDir().toLocal8Bit());
    dlg->Prepare(QStringLiteral("a/b*c"), {server.url("/img/a.png")});
    dlg->show();
    MessageAnswer answer;
    child<QPushButton>(*dlg, "btnok")->click();
    EXPECT_EQ(answer.texts,
              QStringList{
                  QStringLiteral("“%1/abc”是一个链接，不会下载到链接所指的位置！").arg(saveDir())});
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_TRUE(QDir(elsewhere).isEmpty());
    EXPECT_TRUE(child<QPushButton>(*dlg, "btnok")->isEnabled());
}
