#include "settings/TFrmConfig.h"

#include "platform/AnsiCodePage.h"
#include "platform/Autostart.h"
#include "platform/ErrorReporter.h"
#include "platform/KeyStore.h"
#include "settings/IniFile.h"
#include "settings/SettingsMirror.h"
#include "tests/support/TestEnv.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

// Answers every message box that opens while it lives, recording what it said.
class MessageCatcher {
  public:
    MessageCatcher() {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            m_texts.append(box->text());
            m_captions.append(box->windowTitle());
            m_icons.append(box->icon());
            box->accept();
        });
        m_timer.start();
    }
    const QStringList& texts() const { return m_texts; }
    const QStringList& captions() const { return m_captions; }
    const QList<QMessageBox::Icon>& icons() const { return m_icons; }

  private:
    QTimer m_timer;
    QStringList m_texts;
    QStringList m_captions;
    QList<QMessageBox::Icon> m_icons;
};

// Collects what the standard error box would show.
class ErrorCatcher {
  public:
    ErrorCatcher() {
        ErrorReporter::setHandler([this](const QString& message) { m_messages.append(message); });
    }
    ~ErrorCatcher() { ErrorReporter::setHandler({}); }
    const QStringList& messages() const { return m_messages; }

  private:
    QStringList m_messages;
};

template <typename T> T* child(const QDialog& dlg, const char* name) {
    T* w = dlg.findChild<T*>(QLatin1String(name));
    if (!w)
        throw std::runtime_error(std::string("no control ") + name);
    return w;
}

QByteArray gbk(const QString& text) {
    return AnsiCodePage::fromUnicode(text);
}

QString iniPath(const TestEnv& env) {
    return env.programDir() + "config.ini";
}

std::optional<quint32> convent() {
    return KeyStore::readDword(KeyStore::Hive::LocalMachine, "Software\\Vellum", "Convent");
}

void clickOk(TFrmConfig& dlg) {
    child<QPushButton>(dlg, "BtnOK")->click();
}

} // namespace

TEST(TFrmConfig, HasThePagesAndFixedFrame) {
    TestEnv env;
    TFrmConfig dlg(env.programDir());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("参数设置"));
    EXPECT_EQ(dlg.minimumSize(), QSize(433, 260));
    EXPECT_EQ(dlg.maximumSize(), QSize(433, 260));
    const Qt::WindowFlags flags = dlg.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    auto* pages = child<QTabWidget>(dlg, "PageConfig");
    const char* names[] = {"TabBase", "TabGetSet", "tabset",     "TabQuick",
                           "TabTab",  "TabUBB",    "TabPostData"};
    const char* captions[] = {"基本设置", "获取设置", "发贴设置", "快速回帖",
                              "帖子分类", "UBB语法",  "远程提交"};
    ASSERT_EQ(pages->count(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(pages->widget(i)->objectName(), QLatin1String(names[i]));
        EXPECT_EQ(pages->tabText(i), QString::fromUtf8(captions[i]));
    }
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_TRUE(child<QPushButton>(dlg, "BtnOK")->isDefault());
    EXPECT_EQ(child<QPushButton>(dlg, "BtnCancel")->text(), QStringLiteral("取 消"));
    EXPECT_EQ(child<QLineEdit>(dlg, "EdtFlash")->toolTip(), QStringLiteral("Flash动画标签"));
}

TEST(TFrmConfig, WithoutConfigMirrorAndDialogKeepTheirOwnDefaults) {
    TestEnv env;
    TSettingsMirror mirror;
    mirror.StayOnTop = false;
    mirror.AutoHide = true;
    LoadSettings(mirror, iniPath(env));
    EXPECT_TRUE(mirror.StayOnTop);
    EXPECT_FALSE(mirror.AutoHide);
    EXPECT_TRUE(mirror.MemoAutoline);
    EXPECT_TRUE(mirror.UBBUrl.isEmpty());

    TFrmConfig dlg(env.programDir());
    EXPECT_TRUE(child<QCheckBox>(dlg, "CbxAutoHide")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(dlg, "CbxStayOnTop")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(dlg, "CbxAutoRun")->isChecked());
    EXPECT_TRUE(child<QRadioButton>(dlg, "RabConvert2UBB")->isChecked());
    EXPECT_FALSE(child<QRadioButton>(dlg, "RabConvert2HTML")->isChecked());
    EXPECT_TRUE(child<QRadioButton>(dlg, "rabkeepsubject")->isChecked());
    EXPECT_TRUE(child<QRadioButton>(dlg, "rabrandom")->isChecked());
    for (const char* edit : {"EdtUrl", "EdtImg", "EdtFlash", "EdtRm", "EdtMp", "edtposturl"})
        EXPECT_TRUE(child<QLineEdit>(dlg, edit)->text().isEmpty()) << edit;

    clickOk(dlg);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    // Every key, in the order of the save.
    EXPECT_EQ(env.readFile("config.ini"),
              QByteArray("[UBBSet]\r\nUBBUrl=\r\nUBBImg=\r\nUBBFlash=\r\nUBBRm=\r\nUBBMp=\r\n\r\n"
                         "[PostData]\r\nURL=\r\n\r\n"
                         "[Common]\r\nStayOnTop=1\r\nRunMini=0\r\nAutoRun=0\r\nAutoHide=1\r\n"
                         "SoundOnSucc=0\r\nRetoreMainWin=1\r\nNoConvert=0\r\nConvert2UBB=1\r\n"
                         "ClearContentOnGetTitle=0\r\nGetAutoSave=1\r\nKeepSubject=1\r\n"
                         "RandomNote=1\r\nSetClipBoard=0\r\n"));
    LoadSettings(mirror, iniPath(env));
    EXPECT_TRUE(mirror.AutoHide);
}

TEST(TFrmConfig, LoadsEveryControlAndSavesItBack) {
    TestEnv env;
    env.writeFile(
        "config.ini",
        "; user comment\r\n[UBBSet]\r\nUBBUrl=[link=$1]$2[/link]\r\nUBBEmail=[email]$1[/email]\r\n"
        "[PostData]\r\nURL=http://example.invalid/p.php\r\n"
        "[Common]\r\nStayOnTop=0\r\nRunMini=1\r\nNoConvert=1\r\nConvert2UBB=0\r\n"
        "KeepSubject=0\r\nRandomNote=0\r\nSetClipBoard=1\r\nAutoHide=0\r\n"
        "MemoAutoline=0\r\nWinState=1\r\n");
    TFrmConfig dlg(env.programDir());
    EXPECT_EQ(child<QLineEdit>(dlg, "EdtUrl")->text(), QStringLiteral("[link=$1]$2[/link]"));
    EXPECT_FALSE(child<QCheckBox>(dlg, "CbxStayOnTop")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(dlg, "CbxRunMini")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(dlg, "CbxAutoHide")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(dlg, "cbxsetClipBoard")->isChecked());
    EXPECT_TRUE(child<QRadioButton>(dlg, "RabConvert2HTML")->isChecked());
    EXPECT_FALSE(child<QRadioButton>(dlg, "RabConvert2UBB")->isEnabled());
    EXPECT_TRUE(child<QRadioButton>(dlg, "rabnextsubject")->isChecked());
    EXPECT_TRUE(child<QRadioButton>(dlg, "rabselected")->isChecked());

    // Restoring the defaults fills the edits but writes nothing before OK.
    const QByteArray before = env.readFile("config.ini");
    child<QPushButton>(dlg, "btndefubb")->click();
    EXPECT_EQ(child<QLineEdit>(dlg, "EdtMp")->text(), QStringLiteral("[wmv=$1,$2]$3[/wmv]"));
    EXPECT_EQ(env.readFile("config.ini"), before);

    // The no-conversion box only enables and disables the pair.
    auto* noConvert = child<QCheckBox>(dlg, "CbxNoConvert");
    noConvert->click();
    EXPECT_TRUE(child<QRadioButton>(dlg, "RabConvert2UBB")->isEnabled());
    EXPECT_TRUE(child<QRadioButton>(dlg, "RabConvert2HTML")->isChecked());
    child<QRadioButton>(dlg, "RabConvert2UBB")->click();
    noConvert->click();
    EXPECT_FALSE(child<QRadioButton>(dlg, "RabConvert2HTML")->isEnabled());
    EXPECT_TRUE(child<QRadioButton>(dlg, "RabConvert2UBB")->isChecked());

    child<QLineEdit>(dlg, "EdtImg")->setText(QStringLiteral("[图]$1[/图]"));
    clickOk(dlg);
    const IniFile ini(iniPath(env));
    EXPECT_TRUE(env.readFile("config.ini").startsWith("; user comment\r\n[UBBSet]\r\n"));
    EXPECT_EQ(ini.readString("UBBSet", "UBBImg"), gbk(QStringLiteral("[图]$1[/图]")));
    EXPECT_EQ(ini.readString("UBBSet", "UBBEmail"), QByteArray("[email]$1[/email]"));
    EXPECT_EQ(ini.readString("Common", "WinState"), QByteArray("1"));
    EXPECT_EQ(ini.readString("Common", "MemoAutoline"), QByteArray("0"));
    TSettingsMirror mirror;
    LoadSettings(mirror, iniPath(env));
    EXPECT_EQ(mirror.UBBUrl, QByteArray("[url=$1]$2[/url]"));
    EXPECT_EQ(mirror.UBBEmail, QByteArray("[email]$1[/email]"));
    EXPECT_EQ(mirror.URL, QByteArray("http://example.invalid/p.php"));
    EXPECT_FALSE(mirror.StayOnTop);
    EXPECT_TRUE(mirror.RunMini);
    EXPECT_TRUE(mirror.NoConvert);
    EXPECT_TRUE(mirror.Convert2UBB);
    EXPECT_FALSE(mirror.KeepSubject);
    EXPECT_TRUE(mirror.SetClipBoard);
    EXPECT_FALSE(mirror.MemoAutoline);
    EXPECT_FALSE(ini.readBool("Common", "RandomNote", true));
}

TEST(TFrmConfig, CancelWritesNothingAndKeepsTheControls) {
    TestEnv env;
    TFrmConfig dlg(env.programDir());
    struct Case {
        const char* how;
        std::function<void()> close;
    };
    const Case cases[] = {
        {"button", [&] { child<QPushButton>(dlg, "BtnCancel")->click(); }},
        {"Esc", [&] { QTest::keyClick(&dlg, Qt::Key_Escape); }},
        {"close box", [&] { dlg.close(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        dlg.show();
        auto* runMini = child<QCheckBox>(dlg, "CbxRunMini");
        runMini->click();
        const bool state = runMini->isChecked();
        c.close();
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
        EXPECT_FALSE(QFileInfo::exists(iniPath(env)));
        EXPECT_FALSE(convent().has_value());
        dlg.show();
        EXPECT_EQ(runMini->isChecked(), state);
        dlg.hide();
    }
}

TEST(TFrmConfig, EnterPressesOkExceptInTheNoteMemo) {
    TestEnv env;
    TFrmConfig dlg(env.programDir());
    dlg.show();
    auto* memo = child<QPlainTextEdit>(dlg, "Meoquick");
    QTest::keyClicks(memo, "ab");
    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keyClicks(memo, "cd");
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("ab\ncd"));
    EXPECT_FALSE(QFileInfo::exists(iniPath(env)));

    QTest::keyClick(child<QLineEdit>(dlg, "EdtUrl"), Qt::Key_Return);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_TRUE(QFileInfo::exists(iniPath(env)));
}

TEST(TFrmConfig, PostAddressRule) {
    struct Case {
        QString url;
        bool accepted;
    };
    const Case cases[] = {
        {"HTTP://Example.invalid/Post.ASP", true},
        {"https://example.invalid/p.php", true},
        {"httpfoo", true},
        {"", true},
        {" http://example.invalid/", false},
        {"ftp://example.invalid/", false},
        {"www.example.invalid", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url.toStdString());
        TestEnv env;
        TFrmConfig dlg(env.programDir());
        dlg.show();
        child<QLineEdit>(dlg, "edtposturl")->setText(c.url);
        MessageCatcher boxes;
        clickOk(dlg);
        if (c.accepted) {
            EXPECT_TRUE(boxes.texts().isEmpty());
            EXPECT_FALSE(dlg.isVisible());
            EXPECT_EQ(IniFile(iniPath(env)).readString("PostData", "URL", "<none>"),
                      c.url.toLatin1());
        } else {
            EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("无效的网上文件地址!")});
            EXPECT_EQ(boxes.captions(), QStringList{QStringLiteral("提示")});
            EXPECT_EQ(boxes.icons().value(0), QMessageBox::Information);
            EXPECT_TRUE(dlg.isVisible());
            EXPECT_FALSE(QFileInfo::exists(iniPath(env)));
            EXPECT_FALSE(convent().has_value());
        }
    }
}

TEST(TFrmConfig, OkWritesAutostartEntryAndConversionMode) {
    TestEnv env;
    TFrmConfig dlg(env.programDir());
    auto* autoRun = child<QCheckBox>(dlg, "CbxAutoRun");
    auto* noConvert = child<QCheckBox>(dlg, "CbxNoConvert");
    auto* toUbb = child<QRadioButton>(dlg, "RabConvert2UBB");
    auto* toHtml = child<QRadioButton>(dlg, "RabConvert2HTML");
    struct Case {
        bool autoRun;
        bool noConvert;
        bool html;
        quint32 mode;
    };
    const Case cases[] = {
        {true, false, false, 1}, {true, false, true, 2},  {false, true, false, 0},
        {false, true, true, 0},  {false, false, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        autoRun->setChecked(c.autoRun);
        if (noConvert->isChecked() != c.noConvert)
            noConvert->click();
        (c.html ? toHtml : toUbb)->setChecked(true);
        clickOk(dlg);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(convent(), std::optional<quint32>(c.mode));
        EXPECT_EQ(QFileInfo::exists(env.configHome() + "autostart/vellum.desktop"), c.autoRun);
        EXPECT_EQ(IniFile(iniPath(env)).readBool("Common", "AutoRun", !c.autoRun), c.autoRun);
    }
    QFile entry(Autostart::entryPath());
    autoRun->setChecked(true);
    clickOk(dlg);
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains(
        "\nExec=" + Autostart::execValue(QCoreApplication::applicationFilePath()).toUtf8() + "\n"));
}

TEST(TFrmConfig, FailedWriteIsReportedAndTheDialogStillClosesWithOk) {
    TestEnv env;
    {
        // config.ini cannot be replaced: the first write fails, nothing after it runs.
        QDir().mkpath(iniPath(env));
        TFrmConfig dlg(env.programDir());
        child<QCheckBox>(dlg, "CbxAutoRun")->setChecked(true);
        ErrorCatcher errors;
        clickOk(dlg);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(errors.messages(),
                  QStringList{QString("无法写入设置文件“%1”。").arg(iniPath(env))});
        EXPECT_FALSE(Autostart::isEnabled());
        EXPECT_FALSE(convent().has_value());
        QDir().rmdir(iniPath(env));
    }
    {
        // The key store cannot be written: config.ini already was.
        QFile blocker(env.configHome() + "vellum");
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        TFrmConfig dlg(env.programDir());
        ErrorCatcher errors;
        clickOk(dlg);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        ASSERT_EQ(errors.messages().size(), 1);
        EXPECT_TRUE(errors.messages()[0].contains("设置项“Convent”没有保存"))
            << errors.messages()[0].toStdString();
        EXPECT_TRUE(IniFile(iniPath(env)).valueExists("Common", "SetClipBoard"));
    }
}

TEST(TFrmConfig, CategoryPageAddsRenamesAndDeletes) {
    TestEnv env;
    env.writeFile("config.ini",
                  "[TabClass]\r\ntab0=" + gbk(QStringLiteral("软件")) + "\r\ntab1=b\r\ntab3=d\r\n");
    TFrmConfig dlg(env.programDir());
    auto* tree = child<QTreeWidget>(dlg, "trvtabclass");
    auto* name = child<QLineEdit>(dlg, "edttabname");
    auto* add = child<QPushButton>(dlg, "btnnewtab");
    auto* rename = child<QPushButton>(dlg, "btnedittab");
    auto* del = child<QPushButton>(dlg, "btndeltab");
    const IniFile ini(iniPath(env));
    ASSERT_EQ(tree->topLevelItemCount(), 3);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("软件"));
    EXPECT_EQ(dlg.FindFreeSlot(), 2);

    // A click on a node shows its name.
    dlg.show();
    child<QTabWidget>(dlg, "PageConfig")->setCurrentIndex(4);
    const QRect rect = tree->visualItemRect(tree->topLevelItem(2));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(name->text(), QStringLiteral("d"));

    {
        MessageCatcher boxes;
        name->clear();
        add->click(); // a free slot but no name
        EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("分类需要一个名称！")});
    }
    name->setText(QStringLiteral("新分类"));
    add->click();
    EXPECT_EQ(ini.readString("TabClass", "tab2"), gbk(QStringLiteral("新分类")));
    EXPECT_TRUE(name->text().isEmpty());
    EXPECT_EQ(tree->topLevelItem(3)->text(0), QStringLiteral("新分类"));

    // Same names are allowed; fill slots 4 and 5.
    for (int i = 0; i < 2; ++i) {
        name->setText("b");
        add->click();
    }
    EXPECT_EQ(ini.readString("TabClass", "tab5"), QByteArray("b"));
    {
        MessageCatcher boxes;
        name->clear();
        add->click(); // six names: refused even with an empty name field
        EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("最多只能添加6个分类！")});
        EXPECT_EQ(boxes.captions(), QStringList{QStringLiteral("提示")});
        EXPECT_EQ(tree->topLevelItemCount(), 6);
    }

    // Renaming to an empty name frees the slot but keeps the node.
    tree->setCurrentItem(tree->topLevelItem(1));
    name->clear();
    rename->click();
    EXPECT_EQ(ini.readString("TabClass", "tab1", "<none>"), QByteArray());
    EXPECT_EQ(tree->topLevelItemCount(), 6);
    EXPECT_EQ(dlg.FindFreeSlot(), 1);
    // The next add takes that slot over; the emptied node goes with it.
    name->setText("again");
    add->click();
    EXPECT_EQ(ini.readString("TabClass", "tab1"), QByteArray("again"));
    EXPECT_EQ(tree->topLevelItemCount(), 6);

    // Deleting slot 4 removes its key and leaves its posts file alone.
    env.writeFile("date/Date5.dat", "t$TCSPLIT$c\r\n");
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        if (tree->topLevelItem(i)->data(0, Qt::UserRole).toInt() == 4)
            tree->setCurrentItem(tree->topLevelItem(i));
    }
    name->setText("x");
    del->click();
    EXPECT_FALSE(ini.valueExists("TabClass", "tab4"));
    EXPECT_TRUE(name->text().isEmpty());
    EXPECT_EQ(tree->topLevelItemCount(), 5);
    EXPECT_EQ(env.readFile("date/Date5.dat"), QByteArray("t$TCSPLIT$c\r\n"));

    // Down to one node, then the last delete is refused.
    while (tree->topLevelItemCount() > 1) {
        tree->setCurrentItem(tree->topLevelItem(0));
        del->click();
    }
    const QByteArray before = env.readFile("config.ini");
    MessageCatcher boxes;
    tree->setCurrentItem(tree->topLevelItem(0));
    del->click();
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("至少保留一个分类！")});
    EXPECT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(env.readFile("config.ini"), before);
    dlg.hide();
}

TEST(TFrmConfig, QuickNotesAreWrittenAtOnce) {
    TestEnv env;
    TFrmConfig dlg(env.programDir());
    auto* memo = child<QPlainTextEdit>(dlg, "Meoquick");
    auto* numbers = child<QComboBox>(dlg, "CobQuick");
    auto* add = child<QPushButton>(dlg, "btnQuickAdd");
    auto* del = child<QPushButton>(dlg, "BtnQuickDel");
    EXPECT_EQ(numbers->count(), 0);

    add->click(); // empty memo: nothing added, and the notes file is not written
    EXPECT_FALSE(env.exists("QuickNotes.dat"));

    memo->setPlainText(QStringLiteral("ab\ncd"));
    add->click();
    memo->setPlainText(QStringLiteral("第二"));
    add->click();
    memo->setPlainText(QStringLiteral("three"));
    add->click();
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("three"));
    EXPECT_EQ(env.readFile("QuickNotes.dat"),
              "ab$1310$cd\r\n" + gbk(QStringLiteral("第二")) + "\r\nthree\r\n");
    EXPECT_EQ(numbers->count(), 3);
    EXPECT_EQ(numbers->currentText(), QStringLiteral("3"));

    numbers->setCurrentIndex(0);
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("ab\ncd"));

    numbers->setCurrentIndex(1);
    del->click();
    EXPECT_EQ(env.readFile("QuickNotes.dat"), QByteArray("ab$1310$cd\r\nthree\r\n"));
    EXPECT_EQ(numbers->count(), 2);
    EXPECT_EQ(numbers->itemText(1), QStringLiteral("2"));
    EXPECT_EQ(numbers->currentIndex(), 0);
    numbers->setCurrentIndex(1);
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("three"));

    // A note with a line break stays one note when read again.
    TFrmConfig again(env.programDir());
    EXPECT_EQ(again.notes(), (QList<QByteArray>{"ab$1310$cd", "three"}));
    EXPECT_EQ(child<QPlainTextEdit>(again, "Meoquick")->toPlainText(), QStringLiteral("ab\ncd"));

    del->click();
    del->click();
    EXPECT_EQ(numbers->count(), 0);
    EXPECT_EQ(env.readFile("QuickNotes.dat"), QByteArray());
    EXPECT_FALSE(memo->toPlainText().isEmpty()); // the memo keeps the deleted text
    del->click();                                // nothing chosen: nothing happens
}

TEST(TFrmConfig, FailedNoteWriteKeepsNumbersInStep) {
    TestEnv env;
    env.writeFile("QuickNotes.dat", "one\r\ntwo\r\n");
    TFrmConfig dlg(env.programDir());
    auto* numbers = child<QComboBox>(dlg, "CobQuick");
    ASSERT_EQ(numbers->count(), 2);
    QFile::remove(env.programDir() + "QuickNotes.dat");
    QDir().mkpath(env.programDir() + "QuickNotes.dat");
    ErrorCatcher errors;
    numbers->setCurrentIndex(0);
    child<QPushButton>(dlg, "BtnQuickDel")->click();
    EXPECT_EQ(errors.messages().size(), 1);
    EXPECT_EQ(dlg.notes(), QList<QByteArray>{"two"});
    EXPECT_EQ(numbers->count(), 1);
    EXPECT_EQ(child<QPlainTextEdit>(dlg, "Meoquick")->toPlainText(), QStringLiteral("two"));
}

// A pasted trailing line break once made OK fail half-way and skip every
// later key while the dialog closed as if all went well.
TEST(TFrmConfig, SingleLineFieldsDropPastedLineBreaks) {
    TestEnv env;
    TFrmConfig dlg(env.programDir());
    const struct {
        const char* field;
        const char* pasted;
        const char* kept;
    } cases[] = {
        {"edtposturl", "http://example.org/post.php\n", "http://example.org/post.php"},
        {"EdtUrl", "[url=$1]\r\n$2[/url]", "[url=$1]$2[/url]"},
        {"edttabname", "新分类\r\n", "新分类"},
    };
    for (const auto& c : cases) {
        auto* edit = child<QLineEdit>(dlg, c.field);
        edit->clear();
        QApplication::clipboard()->setText(QString::fromUtf8(c.pasted));
        edit->paste();
        EXPECT_EQ(edit->text(), QString::fromUtf8(c.kept)) << c.field;
        EXPECT_EQ(edit->cursorPosition(), edit->text().size()) << c.field;
    }
    ErrorCatcher errors;
    MessageCatcher boxes;
    child<QCheckBox>(dlg, "CbxAutoRun")->setChecked(true);
    clickOk(dlg);
    EXPECT_TRUE(errors.messages().isEmpty()) << errors.messages().join('\n').toStdString();
    const IniFile ini(iniPath(env));
    EXPECT_EQ(ini.readString("PostData", "URL"), "http://example.org/post.php");
    EXPECT_EQ(ini.readString("UBBSet", "UBBUrl"), "[url=$1]$2[/url]");
    EXPECT_FALSE(ini.readBool("Common", "SetClipBoard", true));
    EXPECT_TRUE(QFileInfo::exists(env.configHome() + "autostart/vellum.desktop"));
}

TEST(TFrmConfig, AutostartCaptionSaysLogin) {
    TestEnv env;
    TFrmConfig dlg(env.programDir());
    EXPECT_EQ(child<QCheckBox>(dlg, "CbxAutoRun")->text(), QStringLiteral("登录时自动启动"));
}

// config.ini may be shared with another machine: OK writes only the keys the
// user changed, so a key changed there survives an OK here.
TEST(TFrmConfig, OkWritesOnlyTheKeysTheUserChanged) {
    TestEnv env;
    const QByteArray all =
        "[UBBSet]\r\nUBBUrl=u\r\nUBBImg=i\r\nUBBFlash=f\r\nUBBRm=r\r\nUBBMp=m\r\n"
        "[PostData]\r\nURL=\r\n[Common]\r\nStayOnTop=1\r\nRunMini=0\r\n"
        "AutoRun=0\r\nAutoHide=1\r\nSoundOnSucc=0\r\nRetoreMainWin=1\r\n"
        "NoConvert=0\r\nConvert2UBB=1\r\nClearContentOnGetTitle=0\r\n"
        "GetAutoSave=1\r\nKeepSubject=1\r\nRandomNote=1\r\nSetClipBoard=0\r\n";
    env.writeFile("config.ini", all);
    TFrmConfig dlg(env.programDir());
    // The other machine changes two keys after the dialog read the file.
    const IniFile ini(iniPath(env));
    ini.writeString("UBBSet", "UBBImg", "[pic]$1[/pic]");
    ini.writeBool("Common", "SoundOnSucc", true);
    child<QCheckBox>(dlg, "CbxRunMini")->click();
    child<QLineEdit>(dlg, "EdtUrl")->setText("[link=$1]$2[/link]");
    clickOk(dlg);
    EXPECT_EQ(ini.readString("UBBSet", "UBBImg"), "[pic]$1[/pic]");
    EXPECT_TRUE(ini.readBool("Common", "SoundOnSucc", false));
    EXPECT_TRUE(ini.readBool("Common", "RunMini", false));
    EXPECT_EQ(ini.readString("UBBSet", "UBBUrl"), "[link=$1]$2[/link]");
    // An OK that changed nothing leaves the file as it is.
    const QByteArray before = env.readFile("config.ini");
    clickOk(dlg);
    EXPECT_EQ(env.readFile("config.ini"), before);
}
