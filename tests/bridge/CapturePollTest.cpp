// The poll against the real clipboard (offscreen: one process) and a small
// window of real widgets that stores posts the way the main window does.
#include "bridge/CapturePoll.h"

#include "bridge/TagBuilder.h"
#include "net/TFormPicList.h"
#include "platform/AnsiCodePage.h"
#include "platform/ClipboardText.h"
#include "platform/VellumError.h"
#include "store/PostLine.h"
#include "tests/support/TestEnv.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <array>
#include <functional>

namespace {

QByteArray gb(const QString& text) {
    return AnsiCodePage::fromUnicode(text);
}

class TestHost : public CaptureHost {
  public:
    TestHost() {
        mirror.UBBUrl = "[url=$1]$2[/url]";
        mirror.UBBImg = "[img]$1[/img]";
        timer.setObjectName(QStringLiteral("Timer1"));
        timer.setInterval(300);
        timer.start();
        pictures.setInsertCallback(
            [this](const QByteArray& a) { InsertImageAddress(&memo, a, mirror); });
    }

    QString titleText() const override { return title.text(); }
    void setTitleText(const QString& t) override { title.setText(t); }
    QString contentText() const override { return memo.toPlainText(); }
    void appendContentLine(const QString& line) override { AppendContentLine(&memo, line); }
    void clearContent() override { memo.clear(); }
    QString editorMode() const override { return mode; }
    void setEditorMode(const QString& m) override { mode = m; }
    bool capturedTitle() const override { return marker; }
    void setCapturedTitle(bool on) override { marker = on; }
    void setStatusText(const QString& text) override { status = text; }
    int activeCategory() const override { return active; }
    int selectedRow() const override { return selected; }
    int rowCount() const override { return int(posts[active].size()); }
    std::optional<QByteArray> record(int k, int row) const override {
        if (k < 0 || k >= int(posts.size()) || row < 0 || row >= posts[k].size())
            return std::nullopt;
        return posts[k][row];
    }
    void selectRow(int row) override { selected = row < rowCount() ? row : -1; }

    // SavePost as the main window has it, the notice included, so that a
    // notice without a stored post shows up.
    bool savePost(const QString& t, const QString& c) override {
        if (refuseSave)
            return false;
        const QByteArray line = EncodePost(gb(t), gb(c));
        const int k = active;
        int s = selected;
        if (mode == QLatin1String("ADD")) {
            posts[k].append(line);
            ++stores;
            mode.clear();
        } else if (mode == QLatin1String("EDIT") && s != -1) {
            posts[k][s] = line;
            ++stores;
            s = rowCount();
        }
        selectRow(s);
        status.clear();
        ++notices;
        return true;
    }
    // The Save button: only in "ADD", or "EDIT" with a row.
    void saveByHand() {
        if (mode.isEmpty() || (mode == QLatin1String("EDIT") && selected < 0))
            return;
        savePost(title.text(), memo.toPlainText());
    }

    void publishPost(const QString& t, const QString& c) override {
        published.append(t + QLatin1Char('|') + c);
        if (publishError)
            throw VellumError(QStringLiteral("Error creating map data!"));
    }
    const TSettingsMirror& settings() const override { return mirror; }
    void showPictureList(const QByteArray& payload) override {
        pictures.LoadPictures(payload);
        QTimer::singleShot(0, [this] {
            if (whileListOpen)
                whileListOpen();
            QCoreApplication::processEvents();
            titleWhileListOpen = title.text();
            timerRanDuringList = timer.isActive();
            listedWhileOpen = pictures.shownEntries().size();
            pictures.reject();
        });
        pictures.exec();
    }
    void playSuccessSound() override { ++sounds; }
    void restoreMainWindow() override { ++restores; }
    void showError(const QString& message) override { errors.append(message); }
    void setPollEnabled(bool on) override {
        if (!on)
            ++pauses;
        on ? timer.start() : timer.stop();
    }

    QLineEdit title;
    QPlainTextEdit memo;
    QString mode;
    bool marker = false;
    QString status;
    int active = 0;
    int selected = -1;
    std::array<QList<QByteArray>, 2> posts;
    TSettingsMirror mirror;
    QTimer timer;
    TFormPicList pictures;
    bool publishError = false;
    bool refuseSave = false;
    QStringList published;
    QStringList errors;
    int stores = 0;
    int notices = 0;
    int sounds = 0;
    int restores = 0;
    int pauses = 0;
    bool timerRanDuringList = true;
    std::function<void()> whileListOpen;
    QString titleWhileListOpen;
    qsizetype listedWhileOpen = -1;
};

QClipboard* clipboard() {
    return QGuiApplication::clipboard();
}

void putText(const QString& text) {
    clipboard()->setText(text);
}

QString clipboardText() {
    const QMimeData* data = clipboard()->mimeData();
    return data && data->hasText() ? data->text() : QString();
}

} // namespace

TEST(CapturePoll, NoTextOnClipboardDoesNothing) {
    TestEnv env;
    TestHost host;
    CapturePoll poll(host);
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    clipboard()->setImage(image);
    poll.Timer1Timer();
    EXPECT_EQ(host.pauses, 0);
    EXPECT_TRUE(host.timer.isActive());
    EXPECT_TRUE(host.mode.isEmpty());
    EXPECT_TRUE(host.published.isEmpty());
    EXPECT_TRUE(clipboard()->mimeData()->hasImage());
}

TEST(CapturePoll, OrdinaryTextIsLeftAlone) {
    TestEnv env;
    const char* texts[] = {
        "just some text BBSGE",
        "a note that mentions BBSGETTITLE: in a sentence",
        "x\nBBSGETIMG:http://a/1.gif$SPLIT$",
        "一二三四五六七八九十中BBSGETIMG:u$SPLIT$",
    };
    for (const char* t : texts) {
        TestHost host;
        host.title.setText(QStringLiteral("mine"));
        CapturePoll poll(host);
        putText(QString::fromUtf8(t));
        poll.Timer1Timer();
        EXPECT_EQ(clipboardText(), QString::fromUtf8(t)) << t;
        EXPECT_EQ(host.title.text(), QStringLiteral("mine")) << t;
        EXPECT_TRUE(host.memo.toPlainText().isEmpty()) << t;
        EXPECT_TRUE(host.mode.isEmpty()) << t;
        EXPECT_TRUE(host.published.isEmpty()) << t;
        EXPECT_TRUE(host.timer.isActive()) << t;
    }
}

// One command on a fresh editor: what the editor holds afterwards.
TEST(CapturePoll, CommandTable) {
    TestEnv env;
    const struct {
        const char* name;
        std::function<void(TSettingsMirror&)> settings;
        const char* title;   // before
        const char* content; // before
        const char* command;
        const char* expectedTitle;
        const char* expectedContent;
        const char* expectedMode;
    } cases[] = {
        {"keyword alone", {}, "", "", "BBSGET", "", "", "ADD"},
        {"keyword alone keeps text", {}, "t", "c", "BBSGETyy", "t", "c", "ADD"},
        {"blanks before the keyword", {}, "", "", " \r\n\tBBSGETTITLE:t", "t", "", "ADD"},
        {"image ubb",
         {},
         "",
         "",
         "BBSGETIMG:http://a/1.gif$SPLIT$w$SPLIT$h",
         "",
         "[img]http://a/1.gif[/img]",
         "ADD"},
        {"image html", [](TSettingsMirror& s) { s.Convert2UBB = false; }, "", "x",
         "BBSGETIMG:http://a/1.gif$SPLIT$", "", "x\n<img src=http://a/1.gif border=0>", "ADD"},
        {"image bare", [](TSettingsMirror& s) { s.NoConvert = true; }, "", "",
         "BBSGETIMG:http://a/1.gif$SPLIT$", "", "http://a/1.gif", "ADD"},
        {"image already there",
         {},
         "",
         "http://a/1.gif",
         "BBSGETIMG:http://a/1.gif$SPLIT$",
         "",
         "http://a/1.gif",
         "ADD"},
        {"image inside a longer address",
         {},
         "",
         "[img]http://a/1.gif?x=1[/img]",
         "BBSGETIMG:http://a/1.gif$SPLIT$",
         "",
         "[img]http://a/1.gif?x=1[/img]",
         "ADD"},
        {"image without separator",
         {},
         "",
         "",
         "BBSGETIMG:http://a/1.gif",
         "",
         "[img][/img]",
         "ADD"},
        {"the keyword at the start decides",
         {},
         "",
         "",
         "BBSGETCONTENT:text BBSGETIMG:http://a/1.gif$SPLIT$",
         "",
         "text BBSGETIMG:http://a/1.gif$SPLIT$",
         "ADD"},
        {"html escapes what it inserts", [](TSettingsMirror& s) { s.Convert2UBB = false; }, "", "",
         "BBSGETIMG:x onerror=alert(1)$SPLIT$", "", "<img src=x%20onerror=alert(1) border=0>",
         "ADD"},
        {"link ubb",
         {},
         "",
         "",
         "BBSGETHREF:http://l$SPLIT$论坛",
         "",
         "[url=http://l]论坛[/url]",
         "ADD"},
        {"link blank description",
         {},
         "",
         "",
         "BBSGETHREF:http://l$SPLIT$ \t ",
         "",
         "[url=http://l]http://l[/url]",
         "ADD"},
        {"link bare", [](TSettingsMirror& s) { s.NoConvert = true; }, "", "",
         "BBSGETHREF:http://l$SPLIT$d", "", "http://l", "ADD"},
        {"link html", [](TSettingsMirror& s) { s.Convert2UBB = false; }, "", "",
         "BBSGETHREF:http://l$SPLIT$d", "", "<a href=http://l target=_blank>d</a>", "ADD"},
        {"link without separator",
         {},
         "",
         "",
         "BBSGETHREF:abcdefghij",
         "",
         "[url=]ghij[/url]",
         "ADD"},
        {"link already there",
         {},
         "",
         "x http://l y",
         "BBSGETHREF:http://l$SPLIT$d",
         "",
         "x http://l y",
         "ADD"},
        {"title keeps content", {}, "old", "body", "BBSGETTITLE:新标题", "新标题", "body", "ADD"},
        {"title clears content", [](TSettingsMirror& s) { s.ClearContentOnGetTitle = true; }, "old",
         "body", "BBSGETTITLE:新标题", "新标题", "", "ADD"},
        {"content lines", {}, "", "old", "BBSGETCONTENT:a\r\nb\nc", "", "old\na\nb\nc", "ADD"},
        {"empty template", [](TSettingsMirror& s) { s.UBBImg.clear(); }, "", "x",
         "BBSGETIMG:u$SPLIT$", "", "x\n", "ADD"},
    };
    for (const auto& c : cases) {
        TestHost host;
        if (c.settings)
            c.settings(host.mirror);
        host.title.setText(QString::fromUtf8(c.title));
        host.memo.setPlainText(QString::fromUtf8(c.content));
        CapturePoll poll(host);
        putText(QString::fromUtf8(c.command));
        poll.Timer1Timer();
        EXPECT_EQ(host.title.text(), QString::fromUtf8(c.expectedTitle)) << c.name;
        EXPECT_EQ(host.memo.toPlainText(), QString::fromUtf8(c.expectedContent)) << c.name;
        EXPECT_EQ(host.mode, QString::fromUtf8(c.expectedMode)) << c.name;
        EXPECT_EQ(host.published.size(), 1) << c.name;
        EXPECT_TRUE(clipboardText().isEmpty()) << c.name;
        EXPECT_TRUE(host.errors.isEmpty()) << c.name;
        EXPECT_TRUE(host.timer.isActive()) << c.name;
        EXPECT_EQ(host.stores, 0) << c.name;
        EXPECT_EQ(host.restores, 1) << c.name;
    }
}

TEST(CapturePoll, TitleSetsModeStatusAndMarker) {
    TestEnv env;
    TestHost host;
    host.mode = QStringLiteral("EDIT");
    CapturePoll poll(host);
    putText(QStringLiteral("BBSGETTITLE:t"));
    poll.Timer1Timer();
    EXPECT_EQ(host.mode, QStringLiteral("ADD"));
    EXPECT_EQ(host.status, QStringLiteral("新建"));
    EXPECT_TRUE(host.marker);
}

TEST(CapturePoll, SoundAndRestoreFollowSettings) {
    TestEnv env;
    const struct {
        bool sound;
        bool restore;
        const char* command;
        int sounds;
        int restores;
    } cases[] = {
        {true, true, "BBSGETTITLE:t", 1, 1},
        {true, false, "BBSGET", 0, 0}, // nothing in the editor: no sound
        {false, true, "BBSGETTITLE:t", 0, 1},
        {true, true, "unrelated", 0, 0},
    };
    for (const auto& c : cases) {
        TestHost host;
        host.mirror.SoundOnSucc = c.sound;
        host.mirror.RetoreMainWin = c.restore;
        CapturePoll poll(host);
        putText(QString::fromUtf8(c.command));
        poll.Timer1Timer();
        EXPECT_EQ(host.sounds, c.sounds) << c.command;
        EXPECT_EQ(host.restores, c.restores) << c.command;
    }
}

TEST(CapturePoll, TitleThenContentSavesOnceThenReplaces) {
    TestEnv env;
    TestHost host;
    host.posts[0] = {"older$TCSPLIT$post"};
    CapturePoll poll(host);
    putText(QStringLiteral("BBSGETTITLE:标题"));
    poll.Timer1Timer();
    putText(QStringLiteral("BBSGETCONTENT:第一段"));
    poll.Timer1Timer();
    ASSERT_EQ(host.posts[0].size(), 2);
    EXPECT_EQ(host.posts[0][1], gb(QStringLiteral("标题$TCSPLIT$第一段")));
    EXPECT_EQ(host.selected, 1);
    EXPECT_EQ(host.mode, QStringLiteral("EDIT"));
    EXPECT_EQ(host.status, QStringLiteral("编辑"));

    putText(QStringLiteral("BBSGETCONTENT:第二段"));
    poll.Timer1Timer();
    ASSERT_EQ(host.posts[0].size(), 2);
    EXPECT_EQ(host.posts[0][1], gb(QStringLiteral("标题$TCSPLIT$第一段$1310$第二段")));
    EXPECT_EQ(host.posts[0][0], QByteArray("older$TCSPLIT$post"));
    EXPECT_EQ(host.status, QStringLiteral("编辑"));
    EXPECT_EQ(host.stores, 2);
    EXPECT_EQ(host.notices, 2);
}

TEST(CapturePoll, ContentWithoutTitleCaptureIsNotSaved) {
    TestEnv env;
    const struct {
        const char* name;
        bool autoSave;
        const char* title;
    } cases[] = {{"no marker", true, "typed title"}, {"autosave off", false, nullptr}};
    for (const auto& c : cases) {
        TestHost host;
        host.mirror.GetAutoSave = c.autoSave;
        CapturePoll poll(host);
        if (c.title) {
            host.title.setText(QString::fromUtf8(c.title));
        } else {
            putText(QStringLiteral("BBSGETTITLE:t"));
            poll.Timer1Timer();
        }
        putText(QStringLiteral("BBSGETCONTENT:body"));
        poll.Timer1Timer();
        EXPECT_EQ(host.memo.toPlainText(), QStringLiteral("body")) << c.name;
        EXPECT_EQ(host.notices, 0) << c.name;
        EXPECT_TRUE(host.posts[0].isEmpty()) << c.name;
    }
}

// After the captured post lost its selection, a further capture never reports
// a save without storing: it replaces our post where it still stands, or adds
// a new one.
TEST(CapturePoll, AutoSaveAfterLostSelection) {
    TestEnv env;
    const struct {
        const char* name;
        std::function<void(TestHost&)> meanwhile;
        QList<QByteArray> expected;
        int expectedRow;
    } cases[] = {
        {"saved by hand", [](TestHost& h) { h.saveByHand(); }, {"T$TCSPLIT$a$1310$b"}, 0},
        {"edited and saved by hand",
         [](TestHost& h) {
             h.memo.setPlainText(QStringLiteral("A"));
             h.saveByHand();
         },
         {"T$TCSPLIT$A$1310$b"},
         0},
        {"list refreshed after an import",
         [](TestHost& h) {
             h.posts[0].append("imported$TCSPLIT$x");
             h.selected = -1;
         },
         {"T$TCSPLIT$a$1310$b", "imported$TCSPLIT$x"},
         0},
        {"moved away",
         [](TestHost& h) {
             h.posts[1].append(h.posts[0].takeAt(0));
             h.posts[0].append("other$TCSPLIT$y");
             h.selected = -1;
         },
         {"other$TCSPLIT$y", "T$TCSPLIT$a$1310$b"},
         1},
    };
    for (const auto& c : cases) {
        TestHost host;
        CapturePoll poll(host);
        putText(QStringLiteral("BBSGETTITLE:T"));
        poll.Timer1Timer();
        putText(QStringLiteral("BBSGETCONTENT:a"));
        poll.Timer1Timer();
        ASSERT_EQ(host.selected, 0) << c.name;
        c.meanwhile(host);
        ASSERT_EQ(host.selected, -1) << c.name;
        ASSERT_EQ(host.mode, QStringLiteral("EDIT")) << c.name;

        putText(QStringLiteral("BBSGETCONTENT:b"));
        poll.Timer1Timer();
        EXPECT_EQ(host.posts[0], c.expected) << c.name;
        EXPECT_EQ(host.notices, host.stores) << c.name;
        EXPECT_EQ(host.selected, c.expectedRow) << c.name;
        EXPECT_EQ(host.mode, QStringLiteral("EDIT")) << c.name;
        EXPECT_EQ(host.status, QStringLiteral("编辑")) << c.name;

        // The sequence goes on replacing the same post.
        putText(QStringLiteral("BBSGETCONTENT:c"));
        poll.Timer1Timer();
        EXPECT_EQ(host.posts[0].size(), c.expected.size()) << c.name;
        EXPECT_TRUE(host.posts[0][c.expectedRow].endsWith("$1310$c")) << c.name;
    }
}

TEST(CapturePoll, SetClipBoardStillLeavesClipboardEmpty) {
    TestEnv env;
    TestHost host;
    host.mirror.SetClipBoard = true;
    host.memo.setPlainText(QStringLiteral("body"));
    CapturePoll poll(host);
    putText(QStringLiteral("BBSGETTITLE:t"));
    poll.Timer1Timer();
    EXPECT_EQ(host.published, QStringList{QStringLiteral("t|body")});
    EXPECT_TRUE(clipboardText().isEmpty());
}

TEST(CapturePoll, PictureListStopsThePoll) {
    TestEnv env;
    const struct {
        const char* command;
        qsizetype listed;
    } cases[] = {
        {"BBSGETALLPIC:a.gif;1;2$$b.gif;3;4$$", 2},
        {"BBSGETALLPIC:a.gif;1;2", 0},
        {"BBSGETALLPIC:", 0},
    };
    for (const auto& c : cases) {
        TestHost host;
        CapturePoll poll(host);
        putText(QString::fromUtf8(c.command));
        poll.Timer1Timer();
        EXPECT_EQ(host.listedWhileOpen, c.listed) << c.command;
        EXPECT_FALSE(host.timerRanDuringList) << c.command;
        EXPECT_TRUE(host.timer.isActive()) << c.command;
        EXPECT_TRUE(clipboardText().isEmpty()) << c.command;
        EXPECT_EQ(host.published.size(), 1) << c.command;
    }
}

TEST(CapturePoll, FailureIsShownAndPollGoesOn) {
    TestEnv env;
    TestHost host;
    host.publishError = true;
    CapturePoll poll(host);
    putText(QStringLiteral("BBSGETTITLE:t"));
    poll.Timer1Timer();
    EXPECT_EQ(host.errors, QStringList{QStringLiteral("Error creating map data!")});
    EXPECT_TRUE(host.timer.isActive());
    EXPECT_EQ(host.title.text(), QStringLiteral("t"));
    // The failed command is not left to fail again on the next tick.
    EXPECT_TRUE(clipboardText().isEmpty());
    poll.Timer1Timer();
    EXPECT_EQ(host.errors.size(), 1);

    host.publishError = false;
    putText(QStringLiteral("BBSGETTITLE:u"));
    poll.Timer1Timer();
    EXPECT_EQ(host.title.text(), QStringLiteral("u"));
    EXPECT_EQ(host.errors.size(), 1);
}

TEST(CapturePoll, UnchangedClipboardIsNotReadAgain) {
    TestEnv env;
    TestHost host;
    // Text that was there before the poll started is read at the first tick.
    putText(QStringLiteral("BBSGETTITLE:before"));
    CapturePoll poll(host);
    poll.Timer1Timer();
    EXPECT_EQ(host.title.text(), QStringLiteral("before"));

    putText(QStringLiteral("ordinary"));
    poll.Timer1Timer();
    const int pauses = host.pauses;
    for (int i = 0; i < 5; ++i)
        poll.Timer1Timer();
    EXPECT_EQ(host.pauses, pauses); // skipped without touching the clipboard

    putText(QStringLiteral("BBSGETTITLE:after"));
    poll.Timer1Timer();
    EXPECT_EQ(host.title.text(), QStringLiteral("after"));
    EXPECT_TRUE(clipboardText().isEmpty());
}

// Commands from the browser host's socket: the clipboard path without the
// clipboard.
TEST(CapturePoll, QueuedCommandsRunInOrderAndLeaveTheClipboardAlone) {
    TestEnv env;
    const struct {
        const char* name;
        bool setClipBoard;
    } cases[] = {{"plain", false}, {"with SetClipBoard", true}};
    for (const auto& c : cases) {
        TestHost host;
        host.mirror.SetClipBoard = c.setClipBoard;
        host.mirror.SoundOnSucc = true;
        CapturePoll poll(host);
        putText(QStringLiteral("the user's own text"));
        poll.Timer1Timer();
        poll.enqueueCommand(QStringLiteral("BBSGETTITLE:标题"));
        poll.enqueueCommand(QStringLiteral("BBSGETCONTENT:第一段"));
        poll.enqueueCommand(QStringLiteral("not a command"));
        poll.enqueueCommand(QStringLiteral("BBSGETIMG:http://a/1.gif$SPLIT$"));
        QTRY_COMPARE_WITH_TIMEOUT(poll.queuedCommands(), std::size_t(0), 5000);
        QTest::qWait(20);
        EXPECT_EQ(host.title.text(), QStringLiteral("标题")) << c.name;
        EXPECT_EQ(host.memo.toPlainText(), QStringLiteral("第一段\n[img]http://a/1.gif[/img]"))
            << c.name;
        EXPECT_EQ(host.posts[0], QList<QByteArray>{gb(QStringLiteral("标题$TCSPLIT$第一段"))})
            << c.name;
        EXPECT_EQ(host.published.size(), 3) << c.name;
        EXPECT_EQ(host.sounds, 3) << c.name;
        EXPECT_EQ(host.restores, 3) << c.name;
        EXPECT_EQ(clipboardText(), QStringLiteral("the user's own text")) << c.name;
        EXPECT_TRUE(host.timer.isActive()) << c.name;
    }
}

TEST(CapturePoll, QueuedCommandWaitsForThePictureList) {
    TestEnv env;
    TestHost host;
    CapturePoll poll(host);
    host.whileListOpen = [&] { poll.enqueueCommand(QStringLiteral("BBSGETTITLE:later")); };
    putText(QStringLiteral("BBSGETALLPIC:a.gif;1;2$$"));
    poll.Timer1Timer();
    EXPECT_EQ(host.titleWhileListOpen, QString());
    EXPECT_EQ(poll.queuedCommands(), std::size_t(1));
    QTRY_COMPARE_WITH_TIMEOUT(host.title.text(), QStringLiteral("later"), 5000);
    EXPECT_EQ(host.published.size(), 2);
    EXPECT_TRUE(host.timer.isActive());
}

TEST(CapturePoll, QueuedCommandTakesTheTickBeforeTheClipboard) {
    TestEnv env;
    TestHost host;
    CapturePoll poll(host);
    poll.enqueueCommand(QStringLiteral("BBSGETTITLE:queued"));
    putText(QStringLiteral("BBSGETCONTENT:from the clipboard"));
    poll.Timer1Timer();
    EXPECT_EQ(host.title.text(), QStringLiteral("queued"));
    EXPECT_TRUE(host.memo.toPlainText().isEmpty());
    poll.Timer1Timer();
    EXPECT_EQ(host.memo.toPlainText(), QStringLiteral("from the clipboard"));
    EXPECT_TRUE(clipboardText().isEmpty());
}

TEST(CapturePoll, NulCharactersNeverReachThePost) {
    TestEnv env;
    const QChar nul(u'\0');
    const struct {
        const char* name;
        bool queued;
    } cases[] = {{"clipboard", false}, {"queue", true}};
    for (const auto& c : cases) {
        TestHost host;
        CapturePoll poll(host);
        const QString commands[] = {QStringLiteral("BBSGETTITLE:T") + nul + QStringLiteral("1"),
                                    QStringLiteral("BBSGETCONTENT:a") + nul + QStringLiteral("b") +
                                        nul};
        for (const QString& command : commands) {
            if (c.queued) {
                poll.enqueueCommand(command);
                QTRY_COMPARE_WITH_TIMEOUT(poll.queuedCommands(), std::size_t(0), 5000);
            } else {
                putText(command);
                poll.Timer1Timer();
            }
        }
        QTRY_COMPARE_WITH_TIMEOUT(host.posts[0].size(), 1, 5000);
        EXPECT_EQ(host.posts[0][0], QByteArray("T1$TCSPLIT$ab")) << c.name;
    }
}

TEST(CapturePoll, TheProgramNeverRunsItsOwnOutput) {
    TestEnv env;
    TestHost host;
    CapturePoll poll(host);
    poll.Timer1Timer();
    // What loading a post with "复制帖子内容到剪贴板" on puts there.
    ClipboardText::write(QStringLiteral("BBSGETALLPIC:a.gif;1;2$$"));
    poll.Timer1Timer();
    EXPECT_EQ(host.listedWhileOpen, -1);
    EXPECT_TRUE(host.published.isEmpty());
    EXPECT_EQ(clipboardText(), QStringLiteral("BBSGETALLPIC:a.gif;1;2$$"));

    // The same text copied by the user after something else is theirs.
    putText(QStringLiteral("other"));
    poll.Timer1Timer();
    putText(QStringLiteral("BBSGETALLPIC:a.gif;1;2$$"));
    poll.Timer1Timer();
    EXPECT_EQ(host.listedWhileOpen, 1);
}

// A clipboard manager puts back what we emptied: that is not a new command.
TEST(CapturePoll, EmptiedCommandComingBackRunsOnlyAfterAWhile) {
    TestEnv env;
    TestHost host;
    CapturePoll poll(host);
    putText(QStringLiteral("BBSGETCONTENT:B1"));
    poll.Timer1Timer();
    EXPECT_TRUE(clipboardText().isEmpty());
    putText(QStringLiteral("BBSGETCONTENT:B1"));
    poll.Timer1Timer();
    EXPECT_EQ(host.memo.toPlainText(), QStringLiteral("B1"));
    EXPECT_EQ(host.published.size(), 1);

    putText(QStringLiteral("BBSGETCONTENT:B2"));
    poll.Timer1Timer();
    EXPECT_EQ(host.memo.toPlainText(), QStringLiteral("B1\nB2"));

    // Copied again by the user well after our emptying: a command again.
    QTest::qWait(ClipboardText::kReturnWindowMs + 100);
    putText(QStringLiteral("BBSGETCONTENT:B2"));
    poll.Timer1Timer();
    EXPECT_EQ(host.memo.toPlainText(), QStringLiteral("B1\nB2\nB2"));
}

TEST(CapturePoll, TitleWithThePostSeparatorIsNeverStored) {
    TestEnv env;
    TestHost host;
    CapturePoll poll(host);
    putText(QStringLiteral("BBSGETTITLE:A$TCSPLIT$B"));
    poll.Timer1Timer();
    putText(QStringLiteral("BBSGETCONTENT:body"));
    poll.Timer1Timer();
    EXPECT_TRUE(host.posts[0].isEmpty());
    EXPECT_EQ(host.notices, 0);
    ASSERT_EQ(host.errors.size(), 1);
    EXPECT_TRUE(host.errors[0].contains(QStringLiteral("$TCSPLIT$")));
    EXPECT_EQ(host.memo.toPlainText(), QStringLiteral("body"));
    EXPECT_EQ(host.mode, QStringLiteral("ADD"));
}

TEST(CapturePoll, RefusedSaveLeavesTheModeAlone) {
    TestEnv env;
    TestHost host;
    host.refuseSave = true;
    CapturePoll poll(host);
    putText(QStringLiteral("BBSGETTITLE:T"));
    poll.Timer1Timer();
    putText(QStringLiteral("BBSGETCONTENT:body"));
    poll.Timer1Timer();
    EXPECT_EQ(host.mode, QStringLiteral("ADD"));
    EXPECT_EQ(host.status, QStringLiteral("新建"));
    EXPECT_EQ(host.selected, -1);
}
