#include "net/ExportRule.h"
#include "net/FileDialogs.h"
#include "net/Tfrmexportdata.h"
#include "platform/AnsiCodePage.h"
#include "platform/ErrorReporter.h"
#include "store/TDateMan.h"
#include "tests/support/BoxAnswer.h"
#include "tests/support/ModalAnswer.h"
#include "tests/support/ReadOnlyFolder.h"
#include "tests/support/TestEnv.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {
template <typename T> T* child(QObject& parent, const char* name) {
    T* w = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A dialog over a store, with the save dialog answered by a path and the
// standard error box recorded.
class ExportDialog : public ::testing::Test {
  protected:
    TestEnv env;
    TDateMan store{env.dataDir()};
    QStringList errors;
    int dialogsAsked = 0;
    QString answerPath;

    void SetUp() override {
        ErrorReporter::setHandler([this](const QString& m) { errors << m; });
        FileDialogs::setAnswer([this](const FileDialogs::Request& r) {
            ++dialogsAsked;
            EXPECT_TRUE(r.save);
            EXPECT_EQ(r.filter, QStringLiteral("文本文件(*.txt)"));
            return answerPath;
        });
    }
    void TearDown() override {
        FileDialogs::setAnswer({});
        ErrorReporter::setHandler({});
    }
    // Opens the dialog modally, runs inside(dlg) from a timer, and makes
    // sure the dialog is closed before the test goes on.
    void open(Tfrmexportdata& dlg, const std::function<void()>& inside, int k = 0) {
        QTimer::singleShot(0, &dlg, [&dlg, inside] {
            inside();
            if (dlg.isVisible())
                child<QPushButton>(dlg, "Button2")->click();
        });
        dlg.Execute(k, &store);
        ASSERT_FALSE(dlg.isVisible());
    }
    // Presses "开 始" and answers the count box, if one comes; returns its
    // caption and text.
    QString start(Tfrmexportdata& dlg) {
        BoxAnswer boxes;
        child<QPushButton>(dlg, "Button1")->click();
        for (const QString& ok : boxes.okTexts)
            EXPECT_EQ(ok, QStringLiteral("确定"));
        return boxes.seen.join(QLatin1Char('/'));
    }
};
} // namespace

TEST_F(ExportDialog, ShowsItsControlsAndTheKeptRuleAtStart) {
    struct Case {
        const char* what;
        QByteArray ini;
        QString memo;
        bool sql;
    } cases[] = {
        {"no settings yet", "", "", false},
        {"two lines, SQL mode", "[ExportRule]\r\nRule=A$title%ODOAB\r\nSettings=0\r\n",
         "A$title\nB", true},
        {"typed %ODOA is a break", "[ExportRule]\r\nRule=x%ODOA%ODOAy\r\nSettings=1\r\n", "x\n\ny",
         false},
        {"quotes kept by the writer", "[ExportRule]\r\nRule=\"\"$title\",\"$content\"\"\r\n",
         "\"$title\",\"$content\"", false},
        {"GBK text", "[ExportRule]\r\nRule=\xb1\xea\xcc\xe2:$title\r\n",
         QStringLiteral("标题:$title"), false},
    };
    for (const Case& c : cases) {
        env.writeFile("config.ini", c.ini);
        Tfrmexportdata dlg(env.programDir());
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("自定义导出数据"));
        EXPECT_EQ(child<QLabel>(dlg, "Label1")->text(), QStringLiteral("规则："));
        EXPECT_EQ(child<QLabel>(dlg, "Label2")->text(), QStringLiteral("变量说明："));
        EXPECT_EQ(child<QLabel>(dlg, "Label3")->text(), QStringLiteral("$title - 帖子标题"));
        EXPECT_EQ(child<QLabel>(dlg, "Label4")->text(), QStringLiteral("$content - 帖子内容"));
        EXPECT_EQ(child<QRadioButton>(dlg, "rabcommonrule")->text(), QStringLiteral("普通文本"));
        EXPECT_EQ(child<QRadioButton>(dlg, "rabsqlrule")->text(), QStringLiteral("SQL语句"));
        EXPECT_EQ(child<QPushButton>(dlg, "Button1")->text(), QStringLiteral("开 始"));
        EXPECT_EQ(child<QPushButton>(dlg, "Button2")->text(), QStringLiteral("退 出"));
        EXPECT_EQ(child<QPlainTextEdit>(dlg, "meoexportrule")->toPlainText(), c.memo) << c.what;
        EXPECT_EQ(child<QRadioButton>(dlg, "rabsqlrule")->isChecked(), c.sql) << c.what;
        EXPECT_NE(child<QRadioButton>(dlg, "rabcommonrule")->isChecked(), c.sql) << c.what;
    }
}

TEST_F(ExportDialog, EveryCloseWritesTheRuleAndModeBack) {
    struct Case {
        const char* what;
        QString memo;
        bool sql;
        bool closeBox; // the title bar's close box instead of "退 出"
        QByteArray stored;
    } cases[] = {
        {"one line", "$title", false, false, "Rule=$title\r\nSettings=1"},
        {"lines", "INSERT $title\n$content;", true, true,
         "Rule=INSERT $title%ODOA$content;\r\nSettings=0"},
        {"blank lines and ends", "\na\n\n", false, true, "Rule=%ODOAa%ODOA%ODOA\r\nSettings=1"},
        {"quoted rule", "'$title'", true, false, "Rule=\"'$title'\"\r\nSettings=0"},
    };
    for (const Case& c : cases) {
        env.writeFile("config.ini", "");
        {
            Tfrmexportdata dlg(env.programDir());
            open(dlg, [&] {
                child<QPlainTextEdit>(dlg, "meoexportrule")->setPlainText(c.memo);
                child<QRadioButton>(dlg, c.sql ? "rabsqlrule" : "rabcommonrule")->click();
                if (c.closeBox)
                    dlg.close();
            });
        }
        EXPECT_TRUE(env.readFile("config.ini").contains(c.stored))
            << c.what << ": " << env.readFile("config.ini").constData();
        // The next start shows the same rule and mode.
        Tfrmexportdata again(env.programDir());
        EXPECT_EQ(child<QPlainTextEdit>(again, "meoexportrule")->toPlainText(), c.memo) << c.what;
        EXPECT_EQ(child<QRadioButton>(again, "rabsqlrule")->isChecked(), c.sql) << c.what;
    }
}

TEST(ExportRuleSettings, LoneBreaksAreStoredLikeCrLfAndReadBackExactly) {
    struct Case {
        QByteArray rule;
        QByteArray stored;
        QByteArray readBack;
    } cases[] = {
        {"a\r\nb", "a%ODOAb", "a\r\nb"},
        {"a\rb", "a%ODOAb", "a\r\nb"},
        {"a\nb", "a%ODOAb", "a\r\nb"},
        {"\n\r\r\n", "%ODOA%ODOA%ODOA", "\r\n\r\n\r\n"},
        {"typed %ODOA", "typed %ODOA", "typed \r\n"},
        {"%0D0A digit zero stays", "%0D0A digit zero stays", "%0D0A digit zero stays"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExportRule::encode(c.rule), c.stored);
        EXPECT_EQ(ExportRule::decode(ExportRule::encode(c.rule)), c.readBack);
        EXPECT_FALSE(ExportRule::encode(c.rule).contains('\r'));
        EXPECT_FALSE(ExportRule::encode(c.rule).contains('\n'));
    }
}

TEST_F(ExportDialog, StartWritesOneRulePerPostAndCountsThePostsWritten) {
    for (const QByteArray& line : {QByteArray("Tom's$TCSPLIT$it's$1310$ok"), QByteArray("junk"),
                                   QByteArray("B$TCSPLIT$c:\\x")})
        store.AddRecord(line, 2);
    store.ClearCategory(0);
    struct Case {
        const char* what;
        bool sql;
        QString rule;
        QByteArray expected;
    } cases[] = {
        {"plain, two lines", false, "A$title\nB", "ATom's\r\nB\r\nAB\r\nB\r\n"},
        {"SQL", true, "INSERT INTO t VALUES('$title','$content');",
         "INSERT INTO t VALUES('Tom''s','it''s\\r\\nok');\r\n"
         "INSERT INTO t VALUES('B','c:\\\\x');\r\n"},
    };
    env.writeFile("config.ini", "");
    Tfrmexportdata dlg(env.programDir());
    for (const Case& c : cases) {
        answerPath = env.root() + "out"; // typed without an extension
        QList<int> barValues;
        QList<bool> buttonsDuringRun;
        bool stayedOpen = true;
        auto* bar = child<QProgressBar>(dlg, "ProgressBar1");
        const int before = bar->value();
        const auto watch = QObject::connect(bar, &QProgressBar::valueChanged, [&](int v) {
            barValues << v;
            buttonsDuringRun << (child<QPushButton>(dlg, "Button1")->isEnabled() ||
                                 child<QPushButton>(dlg, "Button2")->isEnabled());
            dlg.close(); // refused while the export runs
            stayedOpen = stayedOpen && dlg.isVisible();
        });
        QString box;
        open(
            dlg,
            [&] {
                child<QPlainTextEdit>(dlg, "meoexportrule")->setPlainText(c.rule);
                child<QRadioButton>(dlg, c.sql ? "rabsqlrule" : "rabcommonrule")->click();
                box = start(dlg);
                EXPECT_TRUE(child<QPushButton>(dlg, "Button1")->isEnabled());
                EXPECT_TRUE(child<QPushButton>(dlg, "Button2")->isEnabled());
                EXPECT_EQ(bar->value(), bar->maximum());
            },
            2);
        QObject::disconnect(watch);
        EXPECT_EQ(box, QStringLiteral("提示|共完成2个！")) << c.what;
        EXPECT_EQ(readBytes(env.root() + "out.txt"), c.expected) << c.what;
        ASSERT_FALSE(barValues.isEmpty());
        if (before != 0) {
            EXPECT_EQ(barValues.first(), 0) << "a second export starts with an empty bar";
        }
        EXPECT_FALSE(buttonsDuringRun.contains(true));
        EXPECT_TRUE(stayedOpen);
        EXPECT_TRUE(errors.isEmpty());
    }
}

TEST_F(ExportDialog, NothingToDoLeavesTheFileAlone) {
    store.AddRecord("no separator", 1);
    env.writeFile("config.ini", "");
    struct Case {
        const char* what;
        int category;
        QString rule;
        QString answer;
        int asked;
        QString box;
    } cases[] = {
        {"empty rule", 0, "", "x.txt", 0, ""},
        {"save dialog cancelled", 0, "$title", "", 1, ""},
        {"empty category", 0, "$title", "x.txt", 1, "提示|共完成0个！"},
        {"no post has a separator", 1, "$title", "x.txt", 1, "提示|共完成0个！"},
    };
    for (const Case& c : cases) {
        Tfrmexportdata dlg(env.programDir());
        dialogsAsked = 0;
        answerPath = c.answer.isEmpty() ? QString() : env.root() + c.answer;
        QString box;
        auto* bar = child<QProgressBar>(dlg, "ProgressBar1");
        open(
            dlg,
            [&] {
                child<QPlainTextEdit>(dlg, "meoexportrule")->setPlainText(c.rule);
                box = start(dlg);
                if (!c.box.isEmpty()) {
                    // Finished, not a busy indicator.
                    EXPECT_LT(bar->minimum(), bar->maximum()) << c.what;
                    EXPECT_EQ(bar->value(), bar->maximum()) << c.what;
                }
            },
            c.category);
        EXPECT_EQ(dialogsAsked, c.asked) << c.what;
        EXPECT_EQ(box, c.box) << c.what;
        EXPECT_FALSE(QFile::exists(env.root() + "x.txt")) << c.what;
    }
}

TEST_F(ExportDialog, AFailedWriteShowsTheErrorInsteadOfACount) {
    store.AddRecord("a$TCSPLIT$1", 0);
    env.writeFile("config.ini", "");
    Tfrmexportdata dlg(env.programDir());
    const ReadOnlyFolder folder(env.root() + "locked");
    ASSERT_TRUE(folder.holds());
    answerPath = folder.file("out.txt");
    QString box;
    open(dlg, [&] {
        child<QPlainTextEdit>(dlg, "meoexportrule")->setPlainText("$title");
        box = start(dlg);
        EXPECT_TRUE(child<QPushButton>(dlg, "Button1")->isEnabled());
        EXPECT_TRUE(child<QPushButton>(dlg, "Button2")->isEnabled());
        EXPECT_EQ(child<QProgressBar>(dlg, "ProgressBar1")->value(), 0);
    });
    EXPECT_EQ(box, QString());
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(answerPath)) << errors[0].toStdString();
    EXPECT_FALSE(QFile::exists(answerPath));
}

TEST(FileDialogsTest, RealDialogsSpeakChineseAndAddTheSuffix) {
    TestEnv env;
    struct Case {
        bool save;
        QString typed;
        QString expected;
        QString title;
        QString accept;
    } cases[] = {
        {true, "name", "name.txt", "另存为", "保存"},
        {true, "name.csv", "name.csv", "另存为", "保存"},
        {false, "missing.qre", "missing.qre", "打开", "打开"},
    };
    for (const Case& c : cases) {
        ModalAnswer answer;
        QString title, accept, reject;
        answer.next([&](QWidget* w) {
            title = w->windowTitle();
            auto* buttons = w->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
            auto* name = w->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (!buttons || !name) {
                w->close();
                return;
            }
            for (QAbstractButton* b : buttons->buttons()) {
                if (buttons->buttonRole(b) == QDialogButtonBox::AcceptRole)
                    accept = b->text();
                if (buttons->buttonRole(b) == QDialogButtonBox::RejectRole)
                    reject = b->text();
            }
            name->setText(env.root() + c.typed);
            QMetaObject::invokeMethod(w, "accept", Qt::QueuedConnection);
        });
        const QString got =
            c.save ? FileDialogs::getSaveFileName(nullptr, "SaveDialogExport", "文本文件(*.txt)",
                                                  "txt")
                   : FileDialogs::getOpenFileName(nullptr, "OpenDialogImport", "Vellum数据(*.qre)");
        EXPECT_EQ(got, env.root() + c.expected);
        EXPECT_EQ(title, c.title);
        EXPECT_EQ(accept, c.accept);
        EXPECT_EQ(reject, QStringLiteral("取消"));
    }
}

TEST(FileDialogsTest, ANameWithoutExtensionGetsTheDefaultSuffix) {
    struct Case {
        QString path;
        QString expected;
    } cases[] = {
        {"/a/name", "/a/name.qre"},     {"/a/name.qre", "/a/name.qre"},
        {"/a/name.txt", "/a/name.txt"}, {"/a.b/name", "/a.b/name.qre"},
        {"/a/name.", "/a/name.qre"},    {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FileDialogs::withDefaultSuffix(c.path, "qre"), c.expected)
            << c.path.toStdString();
}
