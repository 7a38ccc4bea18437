// The browser host from the browser's side: each message type, and messages a
// browser should never send but might.
#include "bridge/BrowserRegistration.h"
#include "platform/AnsiCodePage.h"
#include "platform/CaptureChannel.h"
#include "platform/KeyStore.h"
#include "platform/NextPostChannel.h"
#include "platform/Paths.h"
#include "platform/SharedTextBlock.h"
#include "tests/bridge_host/HostProcess.h"

#include <QDir>
#include <QJsonArray>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
QByteArray gb(const QString& text) {
    return AnsiCodePage::fromUnicode(text);
}

QJsonObject type(const char* name) {
    return QJsonObject{{"type", name}};
}
} // namespace

TEST(BrowserHost, MenuListsTheNineRegisteredEntriesInOrder) {
    TestEnv env;
    RegisterBrowserMenu(env.programDir());
    HostProcess host(env);
    const QJsonObject reply = host.ask(type("menu"));
    ASSERT_TRUE(reply.value("ok").toBool()) << host.errors().constData();
    const QJsonArray entries = reply.value("entries").toArray();
    struct Expected {
        const char* caption;
        const char* page;
        int contexts; // -1: null
    };
    const Expected expected[] = {
        {" →获取标题", "GetTitle.htm", 16},
        {" →获取内容", "GetContent.htm", -1},
        {" ←设置标题", "SetTitle.htm", 4},
        {" ←设置内容", "SetContent.htm", 4},
        {" →提取图片", "GetPic.htm", 2},
        {" →提取链接", "GetHref.htm", 34},
        {" ∈提取Flash及媒体文件", "ListFlash.htm", -1},
        {" ∈提取全部图片", "GetAllPic.htm", -1},
        {" ⊙快速回复", "QuickNote.htm", 4},
    };
    ASSERT_EQ(entries.size(), 9);
    for (int i = 0; i < 9; ++i) {
        const QJsonObject e = entries.at(i).toObject();
        EXPECT_EQ(e.value("caption").toString(), QString::fromUtf8(expected[i].caption)) << i;
        EXPECT_EQ(e.value("page").toString(), expected[i].page) << i;
        if (expected[i].contexts < 0)
            EXPECT_TRUE(e.value("contexts").isNull()) << i;
        else
            EXPECT_EQ(e.value("contexts").toInt(-1), expected[i].contexts) << i;
    }
}

TEST(BrowserHost, MenuBeforeTheProgramEverRanIsAnError) {
    TestEnv env;
    HostProcess host(env);
    const QJsonObject reply = host.ask(type("menu"));
    EXPECT_FALSE(reply.value("ok").toBool(true));
    EXPECT_FALSE(reply.value("error").toString().isEmpty());
}

TEST(BrowserHost, PostGivesTheTitleAndContentThatTheProgramPublished) {
    TestEnv env;
    struct Case {
        QString title;
        QString content;
    };
    const Case cases[] = {
        {"标题 😀", "第一行\r\n第二行"},
        {"", ""},
        {"a$TCSPLIT$", "b"}, // the first separator splits; later ones belong to the content
        {"引号\"与\\斜杠", "\t控制\x01字符"},
    };
    SharedTextBlock block;
    for (const Case& c : cases) {
        block.publish(gb(c.title), gb(c.content));
        HostProcess host(env);
        const QJsonObject reply = host.ask(type("post"));
        ASSERT_TRUE(reply.value("ok").toBool()) << c.title.toStdString();
        const qsizetype cut = c.title.indexOf("$TCSPLIT$");
        const QString title = cut >= 0 ? c.title.left(cut) : c.title;
        const QString content =
            cut >= 0 ? c.title.mid(cut + 9) + "$TCSPLIT$" + c.content : c.content;
        EXPECT_EQ(reply.value("title").toString(), title);
        EXPECT_EQ(reply.value("content").toString(), content);
    }
}

TEST(BrowserHost, PostBeforeAnyPublishIsAnError) {
    TestEnv env;
    HostProcess host(env);
    const QJsonObject reply = host.ask(type("post"));
    EXPECT_FALSE(reply.value("ok").toBool(true));
    EXPECT_FALSE(reply.value("error").toString().isEmpty());
}

TEST(BrowserHost, NextSendsTheNextPostMessageToTheProgram) {
    TestEnv env;
    {
        HostProcess host(env);
        const QJsonObject reply = host.ask(type("next"));
        EXPECT_FALSE(reply.value("ok").toBool(true)) << "nobody listens yet";
    }
    NextPostChannel channel;
    channel.listen();
    QSignalSpy spy(&channel, &NextPostChannel::messageReceived);
    HostProcess host(env);
    const QJsonObject reply = host.ask(type("next"));
    EXPECT_TRUE(reply.value("ok").toBool());
    for (int i = 0; i < 50 && spy.isEmpty(); ++i)
        spy.wait(100);
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 1);
}

TEST(BrowserHost, SettingsGiveTheConversionModeAndTheTemplates) {
    struct Case {
        QByteArray common;
        int storedConvent; // -1: never written
        int convent;
    };
    const Case cases[] = {
        {"", -1, 1},
        {"NoConvert=1\r\n", -1, 0},
        {"NoConvert=0\r\nConvert2UBB=0\r\n", -1, 2},
        {"NoConvert=1\r\n", 2, 2}, // the dialog's record wins
        {"", 0, 0},
    };
    for (const Case& c : cases) {
        TestEnv env;
        env.writeFile("config.ini", "[Common]\r\n" + c.common +
                                        "[UBBSet]\r\nUBBUrl=[url=$1]$2[/url]\r\n" +
                                        gb("UBBImg=[图 $1]\r\n"));
        if (c.storedConvent >= 0)
            KeyStore::setDword(KeyStore::Hive::LocalMachine, kProgramKey, "Convent",
                               quint32(c.storedConvent));
        HostProcess host(env);
        const QJsonObject reply = host.ask(type("settings"));
        ASSERT_TRUE(reply.value("ok").toBool()) << c.common.constData();
        EXPECT_EQ(reply.value("convent").toInt(-1), c.convent) << c.common.constData();
        const QJsonObject t = reply.value("templates").toObject();
        EXPECT_EQ(t.value("UBBUrl").toString(), "[url=$1]$2[/url]");
        EXPECT_EQ(t.value("UBBImg").toString(), "[图 $1]");
        for (const char* key : {"UBBEmail", "UBBFlash", "UBBRm", "UBBMp"})
            EXPECT_TRUE(t.value(key).isString()) << key;
    }
}

TEST(BrowserHost, NotesGiveTheQuickRepliesDecoded) {
    TestEnv env;
    {
        HostProcess host(env);
        const QJsonObject reply = host.ask(type("notes"));
        ASSERT_TRUE(reply.value("ok").toBool()) << "no file is no notes";
        EXPECT_TRUE(reply.value("random").toBool()) << "RandomNote is on by default";
        EXPECT_TRUE(reply.value("notes").toArray().isEmpty());
    }
    env.writeFile("config.ini", "[Common]\r\nRandomNote=0\r\n");
    env.writeFile("QuickNotes.dat", gb("顶一下$1310$第二行\r\n\r\nthanks\r\n"));
    HostProcess host(env);
    const QJsonObject reply = host.ask(type("notes"));
    ASSERT_TRUE(reply.value("ok").toBool());
    EXPECT_FALSE(reply.value("random").toBool(true));
    const QJsonArray notes = reply.value("notes").toArray();
    ASSERT_EQ(notes.size(), 3);
    EXPECT_EQ(notes.at(0).toString(), "顶一下\r\n第二行");
    EXPECT_EQ(notes.at(1).toString(), "");
    EXPECT_EQ(notes.at(2).toString(), "thanks");
}

TEST(BrowserHost, CommandIsAnsweredOnceTheProgramQueuedIt) {
    TestEnv env;
    CaptureChannel channel;
    channel.listen();
    QSignalSpy spy(&channel, &CaptureChannel::commandReceived);
    HostProcess host(env);
    const QString commands[] = {"BBSGETTITLE:标题 😀", "BBSGETHREF:http://a/$SPLIT$链接",
                                "BBSGETCONTENT:一\r\n二"};
    for (const QString& text : commands) {
        const QJsonObject reply = host.ask(QJsonObject{{"type", "command"}, {"text", text}});
        EXPECT_TRUE(reply.value("ok").toBool()) << reply.value("error").toString().toStdString();
    }
    ASSERT_EQ(spy.size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(spy.at(i).at(0).toString(), commands[i]);
    EXPECT_EQ(host.finish(), 0);
}

TEST(BrowserHost, AOneMegabyteCommandArrivesWhole) {
    TestEnv env;
    CaptureChannel channel;
    channel.listen();
    QSignalSpy spy(&channel, &CaptureChannel::commandReceived);
    const QString line = "正文 line\r\n";
    const QString text = "BBSGETCONTENT:" + line.repeated(1024 * 1024 / line.toUtf8().size() + 1);
    ASSERT_GT(text.toUtf8().size(), 1024 * 1024);
    HostProcess host(env);
    const QJsonObject reply = host.ask(QJsonObject{{"type", "command"}, {"text", text}}, 60000);
    EXPECT_TRUE(reply.value("ok").toBool()) << reply.value("error").toString().toStdString();
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), text);
}

TEST(BrowserHost, MalformedMessagesGetAnErrorAndTheHostGoesOn) {
    TestEnv env;
    RegisterBrowserMenu(env.programDir());
    HostProcess host(env);
    const QByteArray bad[] = {
        "",
        "not json",
        "[1,2]",
        "{\"type\":\"menu\"",
        "{\"type\":\"bogus\"}",
        "{\"type\":42}",
        "{}",
        "{\"type\":\"command\"}",
        "{\"type\":\"command\",\"text\":7}",
        "\xff\xfe{\"type\":\"menu\"}",
    };
    for (const QByteArray& body : bad) {
        host.sendRaw(HostProcess::frame(body));
        const QJsonObject reply = host.reply();
        EXPECT_FALSE(reply.value("ok").toBool(true)) << body.constData();
        EXPECT_FALSE(reply.value("error").toString().isEmpty()) << body.constData();
    }
    // Longer than 64 MiB: read past, answered, and the stream stays in step.
    const std::uint32_t tooLong = 64u * 1024 * 1024 + 1;
    QByteArray header(4, Qt::Uninitialized);
    std::memcpy(header.data(), &tooLong, 4);
    host.sendRaw(header);
    const QByteArray chunk(1024 * 1024, 'x');
    for (int i = 0; i < 64; ++i)
        host.sendRaw(chunk);
    host.sendRaw("y");
    const QJsonObject refused = host.reply(120000);
    EXPECT_FALSE(refused.value("ok").toBool(true));
    EXPECT_TRUE(refused.value("error").toString().contains("64 MiB"));

    const QJsonObject menu = host.ask(type("menu"));
    EXPECT_TRUE(menu.value("ok").toBool()) << "still answering after bad messages";
    // A browser that goes away in the middle of a message ends the host.
    host.sendRaw(HostProcess::frame("{\"type\":\"menu\"}").left(9));
    EXPECT_EQ(host.finish(), 0);
}

TEST(BrowserHost, RepliesTooLargeForTheBrowserBecomeAnError) {
    TestEnv env;
    QByteArray notes;
    while (notes.size() < 2 * 1024 * 1024)
        notes += gb("很长的快速回复 quick reply text\r\n");
    env.writeFile("QuickNotes.dat", notes);
    HostProcess host(env);
    const QJsonObject reply = host.ask(type("notes"));
    EXPECT_FALSE(reply.value("ok").toBool(true));
    EXPECT_LT(host.lastReplySize, 1024u * 1024u);
    EXPECT_TRUE(host.ask(type("settings")).value("ok").toBool());
}

namespace {
// A socket file that nobody listens on, as a killed program leaves it.
void leaveStaleSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(addr.sun_path, name.constData(), size_t(name.size()) + 1);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::close(fd);
}

void writeScript(const QString& path, const QByteArray& body) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("#!/bin/sh\n" + body);
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
} // namespace

TEST(BrowserHost, ACommandThatCannotReachTheProgramSaysWhy) {
    struct Case {
        const char* name;
        // -1: no location record; 0: a path that does not exist; 1: a program
        // that fails at once; 2: a program that ends quietly (another instance
        // would hold the lock); 3: a program that runs but never listens.
        int exefile;
        const char* errorPart;
    };
    const Case cases[] = {
        {"never installed", -1, "运行一次"},      {"program gone", 0, "/nowhere/vellum"},
        {"program fails", 1, "exit code 3"},      {"another instance never listens", 2, "已在运行"},
        {"program never listens", 3, "启动完毕"},
    };
    for (const Case& c : cases) {
        TestEnv env;
        Paths::runtimeDir();
        leaveStaleSocket(env.runtimeDir() + "capture");
        const QString script = env.root() + "fake-vellum";
        if (c.exefile == 0)
            KeyStore::setString(KeyStore::Hive::LocalMachine, kProgramKey, "exefile",
                                "/nowhere/vellum");
        if (c.exefile >= 1) {
            const char* bodies[] = {"exit 3\n", "exit 0\n", "exec sleep 3\n"};
            writeScript(script, bodies[c.exefile - 1]);
            KeyStore::setString(KeyStore::Hive::LocalMachine, kProgramKey, "exefile", script);
        }
        HostProcess host(env, {"VELLUM_HOST_START_TIMEOUT_MS=1500"});
        QElapsedTimer clock;
        clock.start();
        const QJsonObject reply =
            host.ask(QJsonObject{{"type", "command"}, {"text", "BBSGETTITLE:x"}});
        EXPECT_FALSE(reply.value("ok").toBool(true)) << c.name;
        EXPECT_TRUE(reply.value("error").toString().contains(QString::fromUtf8(c.errorPart)))
            << c.name << ": " << reply.value("error").toString().toStdString();
        EXPECT_LT(clock.elapsed(), 20000) << c.name;
        EXPECT_TRUE(host.ask(type("settings")).value("ok").toBool()) << c.name;
    }
}

// Once the whole frame is in the socket the command is the program's, and the
// browser must not send it another way too; before that, nothing of it runs.
TEST(BrowserHost, ACommandWrittenWholeIsHandedOverAnsweredOrNot) {
    enum class Server { Answers, Closes, Silent, Refuses, StopsReading };
    struct Case {
        const char* name;
        Server server;
        int commandBytes;
        bool ok;
        bool queued;
        int framesSeen;
    };
    const Case cases[] = {
        {"answers ok", Server::Answers, 20, true, true, 1},
        {"closes without a word", Server::Closes, 20, true, false, 1},
        {"busy past the answer time", Server::Silent, 20, true, false, 1},
        {"refuses", Server::Refuses, 20, false, false, 1},
        {"stopped before the frame was in", Server::StopsReading, 4 << 20, false, false, 0},
    };
    for (const Case& c : cases) {
        TestEnv env;
        Paths::runtimeDir();
        QLocalServer server;
        server.setSocketOptions(QLocalServer::UserAccessOption);
        ASSERT_TRUE(server.listen(env.runtimeDir() + "capture"));
        CaptureFrames seen;
        QLocalSocket* peer = nullptr;
        QObject::connect(&server, &QLocalServer::newConnection, [&] {
            peer = server.nextPendingConnection();
            if (c.server == Server::StopsReading) {
                // As a stopped program: nothing is taken from the socket.
                peer->setReadBufferSize(1024);
                return;
            }
            QObject::connect(peer, &QLocalSocket::readyRead, peer, [&] {
                seen.feed(peer->readAll());
                if (seen.pending() > 0)
                    return;
                if (c.server == Server::Answers)
                    peer->write("ok\n");
                if (c.server == Server::Refuses)
                    peer->write("error: busy\n");
                if (c.server != Server::Silent)
                    peer->disconnectFromServer();
            });
        });
        HostProcess host(env, {"VELLUM_HOST_ANSWER_TIMEOUT_MS=1500"});
        const QString text = "BBSGETCONTENT:" + QString(c.commandBytes - 14, 'x');
        const QJsonObject reply = host.ask(QJsonObject{{"type", "command"}, {"text", text}});
        EXPECT_EQ(reply.value("ok").toBool(), c.ok)
            << c.name << ": " << reply.value("error").toString().toStdString();
        EXPECT_EQ(reply.value("queued").toBool(), c.queued) << c.name;
        if (c.server == Server::Refuses) {
            EXPECT_TRUE(reply.value("error").toString().contains("busy")) << c.name;
        }
        // What the program finds when it reads at last.
        if (c.server == Server::StopsReading && peer) {
            peer->setReadBufferSize(0);
            do
                seen.feed(peer->readAll());
            while (peer->waitForReadyRead(500));
        }
        EXPECT_EQ(seen.takeFrames().size(), c.framesSeen) << c.name;
    }
}
