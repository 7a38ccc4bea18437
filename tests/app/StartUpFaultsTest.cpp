// Odd files found at start: each is named in a message box, and the program
// starts with everything else.
#include "tests/app/MainWindowHarness.h"
#include "tests/support/BoxAnswer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

#include <sys/stat.h>

namespace {
// Starts the window and returns the text of every box shown meanwhile.
QStringList startAndCollectBoxes(const std::function<void()>& start) {
    BoxAnswer boxes;
    start();
    static_cast<void>(QTest::qWaitFor([&] { return !boxes.texts.isEmpty(); }, 3000));
    QTest::qWait(200);
    return boxes.texts;
}
} // namespace

class StartUpFaults : public MainWindowHarness {};

TEST_F(StartUpFaults, EachOddFileIsNamedAndTheOtherCategoriesStart) {
    struct Case {
        const char* what;
        std::function<void(const TestEnv&)> plant;
        QString expected; // in the one box shown
    };
    const QByteArray config = "[TabClass]\r\ntab0=A\r\ntab1=B\r\n";
    const Case cases[] = {
        {"a sparse 64 GB category file",
         [&](const TestEnv& e) {
             e.writeFile("config.ini", config);
             QFile huge(e.dataDir() + "Date1.dat");
             ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
             ASSERT_TRUE(huge.resize(qint64(64) << 30));
         },
         QStringLiteral("有 64.0 GB，超过了本机现在可用的内存")},
        {"a FIFO as config.ini",
         [](const TestEnv& e) {
             ASSERT_EQ(::mkfifo(QFile::encodeName(e.programDir() + "config.ini"), 0600), 0);
         },
         QStringLiteral("它是命名管道")},
        {"binary junk as config.ini",
         [](const TestEnv& e) {
             static const char junk[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\x01";
             e.writeFile("config.ini", QByteArray(junk, sizeof junk - 1));
         },
         QStringLiteral("含有空字符")},
        {"text without any section as config.ini",
         [](const TestEnv& e) { e.writeFile("config.ini", "tab0=A\r\nnot a settings file\r\n"); },
         QStringLiteral("没有任何设置节")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestEnv caseEnv;
        caseEnv.writeFile("date/Date2.dat", "kept$TCSPLIT$post\r\n");
        c.plant(caseEnv);
        const QStringList seen = startAndCollectBoxes([this] { start(); });
        ASSERT_EQ(seen.size(), 1) << seen.join("\n---\n").toStdString();
        EXPECT_TRUE(seen[0].contains(c.expected)) << seen[0].toStdString();
        // The other categories are read right after the window shows.
        win->store().ensureLoaded(1);
        EXPECT_EQ(win->store().RecordCount(1), 1);
        // Ended as a signal ends it: a settings file that cannot be written
        // would otherwise ask at the close.
        win->closeSequence(false);
        win.reset();
    }
}

TEST_F(StartUpFaults, LeftOverTemporaryFilesOfTheProgramGoAndOthersStay) {
    writeConfig({QStringLiteral("A")});
    // Date1.dat is a chain of two links; a save replaces the file at its end.
    const QString elsewhere = env.root() + "elsewhere/";
    QDir().mkpath(elsewhere);
    QFile::link(elsewhere + "real.dat", elsewhere + "middle.dat");
    QFile::link(elsewhere + "middle.dat", env.dataDir() + "Date1.dat");
    const struct {
        QString path;
        bool removed;
    } files[] = {
        {env.programDir() + "config.ini.4242-0.tmp", true},
        {env.programDir() + "QuickNotes.dat.77-3.tmp", true},
        {env.dataDir() + "Date2.dat.9-0.tmp", true},
        {elsewhere + "real.dat.4242-1.tmp", true},
        {env.programDir() + "config.ini.backup.tmp", false},
        {elsewhere + "other.dat.1-0.tmp", false},
    };
    for (const auto& f : files) {
        QFile file(f.path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << f.path.toStdString();
    }
    QFile real(elsewhere + "real.dat");
    ASSERT_TRUE(real.open(QIODevice::WriteOnly));
    real.write("linked$TCSPLIT$post\r\n");
    real.close();
    start();
    for (const auto& f : files)
        EXPECT_EQ(QFileInfo::exists(f.path), !f.removed) << f.path.toStdString();
    EXPECT_EQ(win->store().RecordCount(0), 1);
}
