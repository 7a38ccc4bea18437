#include "net/DataExchange.h"
#include "net/FileDialogs.h"
#include "platform/ErrorReporter.h"
#include "store/TDateMan.h"
#include "tests/support/ReadOnlyFolder.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {
QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class DataExchangeFlow : public ::testing::Test {
  protected:
    TestEnv env;
    TDateMan store{env.dataDir()};
    QWidget owner;
    QStringList errors;
    QList<FileDialogs::Request> asked;
    QString answerPath;

    void SetUp() override {
        ErrorReporter::setHandler([this](const QString& m) { errors << m; });
        FileDialogs::setAnswer([this](const FileDialogs::Request& r) {
            asked << r;
            return answerPath;
        });
    }
    void TearDown() override {
        FileDialogs::setAnswer({});
        ErrorReporter::setHandler({});
    }
    DataExchange exchange() { return DataExchange(store, &owner); }
};
} // namespace

TEST_F(DataExchangeFlow, ExportWritesTheCategoryAsItIsInMemory) {
    env.writeFile("date/Date2.dat", "on disk$TCSPLIT$old\r\n");
    store.LoadCategory(1);
    store.AddRecord("\xb1\xea\xcc\xe2$TCSPLIT$a$1310$b", 1); // not yet saved
    struct Case {
        const char* what;
        QString typed;
        QString written;
    } cases[] = {
        {"suffix added", "out", "out.qre"},
        {"existing file replaced", "out.qre", "out.qre"},
        {"own extension kept", "out.dat", "out.dat"},
    };
    QFile::remove(env.root() + "out.qre");
    for (const Case& c : cases) {
        answerPath = env.root() + c.typed;
        EXPECT_TRUE(exchange().exportCategory(1)) << c.what;
        EXPECT_EQ(readBytes(env.root() + c.written),
                  "on disk$TCSPLIT$old\r\n\xb1\xea\xcc\xe2$TCSPLIT$a$1310$b\r\n")
            << c.what;
    }
    ASSERT_FALSE(asked.isEmpty());
    EXPECT_TRUE(asked[0].save);
    EXPECT_EQ(asked[0].filter, QStringLiteral("Vellum数据(*.qre)"));
    EXPECT_EQ(asked[0].objectName, QStringLiteral("SaveDialogExport"));
    // The data folder is written only when the main window closes.
    EXPECT_EQ(env.readFile("date/Date2.dat"), "on disk$TCSPLIT$old\r\n");
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(DataExchangeFlow, CancelledDialogsDoNothing) {
    store.AddRecord("a$TCSPLIT$1", 0);
    answerPath.clear();
    EXPECT_FALSE(exchange().exportCategory(0));
    EXPECT_FALSE(exchange().importFile(0));
    EXPECT_EQ(store.RecordCount(0), 1);
    EXPECT_EQ(QDir(env.root()).entryList(QDir::Files).size(), 0);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(DataExchangeFlow, ExportThatCannotWriteShowsTheErrorAndWritesNothing) {
    store.AddRecord("a$TCSPLIT$1", 0);
    const ReadOnlyFolder folder(env.root() + "locked");
    ASSERT_TRUE(folder.holds());
    answerPath = folder.file("out.qre");
    EXPECT_FALSE(exchange().exportCategory(0));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(answerPath)) << errors[0].toStdString();
    EXPECT_TRUE(QDir(env.root() + "locked").isEmpty());
    EXPECT_EQ(store.RecordCount(0), 1);
}

TEST_F(DataExchangeFlow, ImportAppendsWhatTheFileHolds) {
    const QString qre = env.root() + "in.qre";
    QFile in(qre);
    ASSERT_TRUE(in.open(QIODevice::WriteOnly));
    in.write("a$TCSPLIT$1\r\n\r\nno separator\r\n");
    in.close();
    ::mkfifo(QFile::encodeName(env.root() + "pipe.qre").constData(), 0600);
    store.AddRecord("kept$TCSPLIT$0", 3);
    struct Case {
        const char* what;
        QString path;
        int count;  // of category 3 afterwards
        bool error; // shown in the standard error box
    } cases[] = {
        {"first import", qre, 4, false},
        {"same file again doubles", qre, 7, false},
        {"missing file", env.root() + "missing.qre", 7, false},
        {"FIFO refused", env.root() + "pipe.qre", 7, true},
        {"device refused", "/dev/zero", 7, true},
    };
    for (const Case& c : cases) {
        errors.clear();
        answerPath = c.path;
        EXPECT_TRUE(exchange().importFile(3)) << c.what;
        EXPECT_EQ(store.RecordCount(3), c.count) << c.what;
        EXPECT_EQ(errors.size(), c.error ? 1 : 0) << c.what;
    }
    EXPECT_EQ(store.record(3, 6), "no separator");
    ASSERT_FALSE(asked.isEmpty());
    EXPECT_FALSE(asked[0].save);
    EXPECT_EQ(asked[0].objectName, QStringLiteral("OpenDialogImport"));
    EXPECT_EQ(asked[0].filter, QStringLiteral("Vellum数据(*.qre)"));
}

TEST_F(DataExchangeFlow, LargeExportAndImportKeepHandlingEvents) {
    for (int i = 0; i < 100000; ++i)
        store.AddRecord("title " + QByteArray::number(i) + "$TCSPLIT$" + QByteArray(60, 'x'), 0);
    const QString qre = env.root() + "big.qre";
    answerPath = qre;
    for (const bool exporting : {true, false}) {
        // Posted before the command: it runs while the command works, not after.
        bool handled = false;
        QTimer::singleShot(0, &owner, [&] { handled = true; });
        if (exporting)
            EXPECT_TRUE(exchange().exportCategory(0));
        else
            EXPECT_TRUE(exchange().importFile(1));
        EXPECT_TRUE(handled) << (exporting ? "export" : "import");
    }
    EXPECT_EQ(store.Records(1), store.Records(0));
    EXPECT_TRUE(errors.isEmpty());
}
