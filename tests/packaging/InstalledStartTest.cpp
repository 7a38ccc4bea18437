// The first start of an installed Vellum offers the posts of the folder used
// before (~/Vellum); whatever the answer, that folder stays as it was.
#include "app/InstalledStart.h"
#include "tests/support/ModalAnswer.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

namespace {
QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
void writeAll(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
} // namespace

TEST(InstalledStart, FirstStartOffersTheOldFoldersPostsOnceAndNeverChangesIt) {
    const QString shared = QStringLiteral(VELLUM_SOURCE_DIR "/dist/");
    struct Case {
        const char* button;
        bool copied;
    };
    for (const Case& c : {Case{"btnCopyPosts", true}, Case{"btnSkipCopy", false}}) {
        SCOPED_TRACE(c.button);
        TestEnv env;
        const QString old = QDir::homePath() + "/Vellum/";
        writeAll(old + "date/Date1.dat", "旧$TCSPLIT$帖子\r\n");
        writeAll(old + "config.ini", "[TabClass]\r\ntab0=Old\r\n");
        const QString folder = env.dataHome() + "vellum/";

        ModalAnswer offer;
        ModalAnswer done;
        offer.next([&](QWidget* box) {
            if (c.copied)
                done.press(); // the report of what was copied comes next
            if (auto* b = box->findChild<QAbstractButton*>(c.button))
                b->click();
            else
                box->close();
        });
        InstalledStart::prepare(nullptr, folder, shared, true);
        EXPECT_TRUE(offer.answered);
        EXPECT_TRUE(offer.seenText.contains(old)) << offer.seenText.toStdString();
        EXPECT_EQ(done.answered, c.copied);
        EXPECT_EQ(readAll(folder + "date/Date1.dat"),
                  c.copied ? QByteArray("旧$TCSPLIT$帖子\r\n") : QByteArray());
        EXPECT_EQ(readAll(folder + "config.ini"),
                  c.copied ? readAll(old + "config.ini") : readAll(shared + "config.ini"));
        // The old folder is only read.
        EXPECT_EQ(readAll(old + "date/Date1.dat"), "旧$TCSPLIT$帖子\r\n");
        EXPECT_EQ(readAll(old + "config.ini"), "[TabClass]\r\ntab0=Old\r\n");

        // Later starts ask nothing.
        ModalAnswer later;
        later.press();
        InstalledStart::prepare(nullptr, folder, shared, true);
        QTest::qWait(50);
        EXPECT_FALSE(later.answered);
    }
}
