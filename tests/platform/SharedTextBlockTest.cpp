#include "platform/SharedTextBlock.h"

#include "platform/AnsiCodePage.h"
#include "platform/VellumError.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray gb(const char* utf8) {
    return AnsiCodePage::fromUnicode(QString::fromUtf8(utf8));
}

// The block as another process sees it.
QByteArray readBlock(const TestEnv& env, const QString& path) {
    QProcess reader;
    reader.setProcessEnvironment(env.processEnvironment());
    reader.start(QStringLiteral(BLOCK_READER_EXE), {path});
    if (!reader.waitForFinished(30000) || reader.exitCode() != 0)
        return {};
    return reader.readAllStandardOutput();
}

} // namespace

TEST(SharedTextBlock, AnotherProcessReadsTheText) {
    TestEnv env;
    SharedTextBlock block;
    EXPECT_FALSE(QFile::exists(env.runtimeDir() + "MapString")); // not before the first publish
    const struct {
        QByteArray title;
        QByteArray content;
        QByteArray expected;
    } cases[] = {
        {"", "", "BBSSETTEXT:$TCSPLIT$"},
        {gb("标题"), gb("第一行\r\n第二行"),
         "BBSSETTEXT:" + gb("标题") + "$TCSPLIT$" + gb("第一行\r\n第二行")},
        {"T", "", "BBSSETTEXT:T$TCSPLIT$"},
        {"", "only content", "BBSSETTEXT:$TCSPLIT$only content"},
    };
    for (const auto& c : cases) {
        block.publish(c.title, c.content);
        ASSERT_EQ(block.path(), env.runtimeDir() + "MapString");
        const QByteArray seen = readBlock(env, block.path());
        ASSERT_EQ(seen.size(), SharedTextBlock::Size);
        EXPECT_EQ(seen.left(c.expected.size() + 1), c.expected + '\0');
    }
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(block.path()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(st.st_size, SharedTextBlock::Size);
}

TEST(SharedTextBlock, ShorterTextLeavesTheOldTail) {
    TestEnv env;
    SharedTextBlock block;
    block.publish("a long title", "and a long content");
    block.publish("x", "y");
    const QByteArray seen = readBlock(env, block.path());
    const QByteArray longText = "BBSSETTEXT:a long title$TCSPLIT$and a long content";
    const QByteArray shortText = "BBSSETTEXT:x$TCSPLIT$y";
    EXPECT_EQ(seen.left(longText.size() + 1),
              shortText + '\0' + longText.mid(shortText.size() + 1) + '\0');
}

TEST(SharedTextBlock, OverlongTextIsCutOnACharacterBoundary) {
    TestEnv env;
    SharedTextBlock block;
    // 60,000 two-byte characters after a 20-byte head: the limit falls inside
    // a character.
    const QString content = QString(60000, QChar(0x4E2D));
    block.publish("", AnsiCodePage::fromUnicode(content));
    const QByteArray seen = readBlock(env, block.path());
    ASSERT_EQ(seen.size(), SharedTextBlock::Size);
    const qsizetype nul = seen.indexOf('\0');
    ASSERT_GE(nul, 0);
    EXPECT_EQ(nul, 99998);
    const QString text = AnsiCodePage::toUnicode(seen.left(nul));
    EXPECT_EQ(text, "BBSSETTEXT:$TCSPLIT$" + content.left((nul - 20) / 2));

    // Exactly the limit fits whole.
    const QByteArray fits(SharedTextBlock::MaxText - 20, 'a');
    block.publish("", fits);
    EXPECT_EQ(readBlock(env, block.path()).right(21), QByteArray(20, 'a') + '\0');
}

TEST(SharedTextBlock, CharacterBoundaries) {
    const QByteArray four = gb("😀"); // a four-byte sequence
    ASSERT_EQ(four.size(), 4);
    const struct {
        QByteArray text;
        qsizetype limit;
        qsizetype expected;
    } cases[] = {
        {"abc", 2, 2},
        {"abc", 5, 3},
        {gb("中文"), 3, 2},
        {gb("中文"), 4, 4},
        {"a" + gb("中"), 2, 1},
        {four + four, 7, 4},
        {four + four, 3, 0},
        {"a" + four + "b", 5, 5},
        // Bytes that start no character count one by one.
        {QByteArray("\x81\x30x\xFF\x80", 5), 4, 4},
        {QByteArray("\x81\x30x\xFF\x80", 5), 1, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SharedTextBlock::characterBoundary(c.text, c.limit), c.expected)
            << c.text.toHex().constData() << " limit " << c.limit;
}

TEST(SharedTextBlock, CreationFailureRaisesErrorCreatingMapData) {
    TestEnv env;
    // A folder where the block's file belongs cannot be mapped.
    ASSERT_TRUE(QDir().mkpath(env.runtimeDir() + "MapString"));
    SharedTextBlock block;
    try {
        block.publish("t", "c");
        ADD_FAILURE() << "no error";
    } catch (const VellumError& e) {
        EXPECT_EQ(e.message(), "无法把当前帖子交给浏览器：运行文件夹中的共享数据块无法建立。");
    }
    EXPECT_FALSE(block.isMapped());
    // Once the obstacle is gone the next publish works.
    ASSERT_TRUE(QDir().rmdir(env.runtimeDir() + "MapString"));
    block.publish("t", "c");
    EXPECT_TRUE(
        readBlock(env, block.path()).startsWith(QByteArray("BBSSETTEXT:t$TCSPLIT$c\0", 23)));
}

TEST(SharedTextBlock, ShortenedFileIsRestoredBeforeWriting) {
    TestEnv env;
    SharedTextBlock block;
    block.publish("first", "text");
    // Another process cuts the file; writing through the view past its end
    // would kill us with SIGBUS.
    ASSERT_EQ(::truncate(QFile::encodeName(block.path()).constData(), 10), 0);
    const QByteArray content(90000, 'z');
    block.publish("second", content);
    const QByteArray seen = readBlock(env, block.path());
    ASSERT_EQ(seen.size(), SharedTextBlock::Size);
    EXPECT_EQ(seen.left(seen.indexOf('\0')), "BBSSETTEXT:second$TCSPLIT$" + content);
}

TEST(SharedTextBlock, ExistingBlockIsOpenedAndShared) {
    TestEnv env;
    SharedTextBlock first;
    first.publish("one", "1");
    {
        SharedTextBlock second;
        second.publish("two", "2");
        EXPECT_EQ(second.path(), first.path());
    }
    // Both views show the same memory; the file outlives the second holder.
    EXPECT_TRUE(
        readBlock(env, first.path()).startsWith(QByteArray("BBSSETTEXT:two$TCSPLIT$2\0", 25)));
    first.publish("three", "3");
    EXPECT_TRUE(
        readBlock(env, first.path()).startsWith(QByteArray("BBSSETTEXT:three$TCSPLIT$3\0", 27)));
}

// A fill entry used after the program ended must not find the last post.
TEST(SharedTextBlock, BlockIsGoneWhenItsHolderEnds) {
    TestEnv env;
    QString path;
    {
        SharedTextBlock block;
        block.publish("T", "secret");
        path = block.path();
        ASSERT_TRUE(QFile::exists(path));
    }
    EXPECT_FALSE(QFile::exists(path));
    // A block that was never published leaves nothing behind either.
    { SharedTextBlock block; }
    EXPECT_FALSE(QFile::exists(env.runtimeDir() + "MapString"));
}

TEST(SharedTextBlock, ALeftOverBlockIsRemovedByTheNextInstance) {
    TestEnv env;
    ASSERT_TRUE(QDir().mkpath(env.runtimeDir()));
    QFile left(env.runtimeDir() + "MapString");
    ASSERT_TRUE(left.open(QIODevice::WriteOnly));
    left.write(QByteArray("BBSSETTEXT:old$TCSPLIT$post\0", 28));
    left.close();
    SharedTextBlock::removeLeftOver(env.runtimeDir());
    EXPECT_FALSE(QFile::exists(env.runtimeDir() + "MapString"));
}
