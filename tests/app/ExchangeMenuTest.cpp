#include "net/FileDialogs.h"
#include "net/Tfrmexportdata.h"
#include "tests/app/MainWindowHarness.h"
#include "tests/support/BoxAnswer.h"

#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

namespace {
class ExchangeMenu : public MainWindowHarness {
  protected:
    QString answerPath;
    void SetUp() override {
        FileDialogs::setAnswer([this](const FileDialogs::Request&) { return answerPath; });
        writeConfig({"A", "B", "C", "", "", ""});
        env.writeFile("date/Date1.dat", "one$TCSPLIT$1\r\ntwo$TCSPLIT$2\r\n");
        start();
    }
    void TearDown() override { FileDialogs::setAnswer({}); }
    QAction* item(const char* name) {
        for (QAction* a : child<QMenu>("PopMenuList")->actions())
            if (a->objectName() == QLatin1String(name))
                return a;
        ADD_FAILURE() << name;
        return nullptr;
    }
};
} // namespace

TEST_F(ExchangeMenu, TheThreeCommandsFollowASeparatorAndAreUsable) {
    const QList<QAction*> actions = child<QMenu>("PopMenuList")->actions();
    ASSERT_EQ(actions.size(), 9);
    EXPECT_TRUE(actions[5]->isSeparator());
    const char* names[] = {"N_Export", "N_Import", "N_CustomExport"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(actions[6 + i]->objectName(), QLatin1String(names[i]));
        EXPECT_TRUE(actions[6 + i]->isEnabled()) << names[i];
    }
}

TEST_F(ExchangeMenu, ExportThenImportIntoAnotherTabShowsTheNewPosts) {
    answerPath = env.root() + "lib";
    item("N_Export")->trigger();
    EXPECT_EQ(QFile(env.root() + "lib.qre").size(), 30);
    child<QTabWidget>("mPage")->setCurrentIndex(2);
    answerPath = env.root() + "lib.qre";
    item("N_Import")->trigger();
    item("N_Import")->trigger();
    ASSERT_EQ(rows(2), 4);
    EXPECT_EQ(rowText(2, 3), "two");
    EXPECT_EQ(child<QTabWidget>("mPage")->tabToolTip(2), QStringLiteral("共有4个帖子"));
    EXPECT_EQ(rows(0), 2);
}

TEST_F(ExchangeMenu, CustomExportOpensTheDialogOnTheActiveCategory) {
    answerPath = env.root() + "out.txt";
    auto* dlg = win->findChild<Tfrmexportdata*>();
    ASSERT_NE(dlg, nullptr);
    QString box;
    QTimer::singleShot(0, dlg, [&] {
        dlg->findChild<QPlainTextEdit*>("meoexportrule")->setPlainText("$title");
        BoxAnswer answer;
        dlg->findChild<QPushButton*>("Button1")->click();
        box = answer.seen.join('/');
        dlg->findChild<QPushButton*>("Button2")->click();
    });
    item("N_CustomExport")->trigger();
    ASSERT_FALSE(dlg->isVisible());
    EXPECT_EQ(box, QStringLiteral("提示|共完成2个！"));
    QFile out(env.root() + "out.txt");
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(out.readAll(), "one\r\ntwo\r\n");
    EXPECT_TRUE(env.readFile("config.ini").contains("Rule=$title"));
}
