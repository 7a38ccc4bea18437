#include "settings/QuickNotes.h"

#include "platform/VellumError.h"
#include "tests/support/TestEnv.h"

#include <QDir>

#include <gtest/gtest.h>

TEST(QuickNotes, EveryLineBreakOfANoteIsEncoded) {
    struct Case {
        QByteArray note;
        QByteArray stored;
    };
    const Case cases[] = {
        {"ab\r\ncd", "ab$1310$cd"},
        {"ab\ncd", "ab$1310$cd"}, // a lone LF would have split the note
        {"ab\rcd", "ab$1310$cd"}, // so would a lone CR
        {"a\n\r\nb\r", "a$1310$$1310$b$1310$"},
        {"\r\n", "$1310$"},
        {"plain", "plain"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.note.toStdString());
        EXPECT_EQ(QuickNotes::encode(c.note), c.stored);
        EXPECT_EQ(QuickNotes::parse(QuickNotes::encode(c.note) + "\r\n").size(), 1);
    }
    EXPECT_EQ(QuickNotes::decode("ab$1310$cd$1310$"), QByteArray("ab\r\ncd\r\n"));
}

TEST(QuickNotes, FileIsOneNoteALineWithCrLf) {
    TestEnv env;
    const QString path = env.programDir() + "QuickNotes.dat";
    EXPECT_FALSE(QuickNotes::load(path).has_value());

    const QList<QByteArray> notes{"ab$1310$cd", "", "\xb6\xa5"};
    QuickNotes::save(path, notes);
    EXPECT_EQ(env.readFile("QuickNotes.dat"), QByteArray("ab$1310$cd\r\n\r\n\xb6\xa5\r\n"));
    EXPECT_EQ(QuickNotes::load(path).value(), notes);

    // Files written by other means: any line break ends a note.
    env.writeFile("QuickNotes.dat", "one\rtwo\nthree\r\nfour");
    EXPECT_EQ(QuickNotes::load(path).value(), (QList<QByteArray>{"one", "two", "three", "four"}));
    env.writeFile("QuickNotes.dat", "");
    EXPECT_TRUE(QuickNotes::load(path).value().isEmpty());
}

TEST(QuickNotes, FailedSaveLeavesTheOldFile) {
    TestEnv env;
    env.writeFile("blocker", "old\r\n");
    EXPECT_THROW(QuickNotes::save(env.programDir() + "blocker/QuickNotes.dat", {"x"}), VellumError);
    QDir().mkpath(env.programDir() + "QuickNotes.dat");
    EXPECT_THROW(QuickNotes::save(env.programDir() + "QuickNotes.dat", {"x"}), VellumError);
    EXPECT_EQ(env.readFile("blocker"), QByteArray("old\r\n"));
}
