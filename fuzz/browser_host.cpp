// The browser host's input: native messaging frames on its standard input and
// the JSON requests in them. The program start and the capture socket are
// replaced by a function that records what would have been delivered; the
// files the host reads are real ones in a scratch program folder.
#include "FuzzSupport.h"
#include "browser/host/BrowserHost.h"
#include "browser/host/NativeMessaging.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonValue>

#include <fcntl.h>
#include <unistd.h>

namespace {
QByteArray g_delivered;
int g_deliveries = 0;

BrowserHost& Host() {
    static BrowserHost* host = [] {
        const QString dir = Fuzz::ScratchDir() + QStringLiteral("home/");
        QDir().mkpath(dir);
        Fuzz::WriteScratchFile(QStringLiteral("home/config.ini"),
                               "[UBBSet]\r\nUBBUrl=[url=$1]$2[/url]\r\nUBBImg=[img]$1[/img]\r\n"
                               "[Common]\r\nRandomNote=0\r\n");
        Fuzz::WriteScratchFile(QStringLiteral("home/QuickNotes.dat"),
                               "\xb6\xa5$1310$\xd6\xa7\xb3\xd6\r\nthanks\r\n");
        BrowserHost::Options options;
        options.programDir = dir;
        options.startTimeoutMs = 200;
        options.answerTimeoutMs = 200;
        options.deliver = [](const QByteArray& utf8) {
            g_delivered = utf8;
            ++g_deliveries;
            return QJsonObject{{QStringLiteral("ok"), true}};
        };
        return new BrowserHost(options);
    }();
    return *host;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The whole stream must fit the pipe, written before it is read.
    if (size > 60000)
        return 0;
    int fds[2];
    FUZZ_CHECK(::pipe2(fds, O_CLOEXEC) == 0);
    FUZZ_CHECK(::write(fds[1], data, size) == ssize_t(size));
    ::close(fds[1]);

    for (int guard = 0; guard < 10000; ++guard) {
        const NativeMessaging::Incoming in = NativeMessaging::read(fds[0]);
        if (in.status == NativeMessaging::Status::End)
            break;
        if (in.status == NativeMessaging::Status::TooLong) {
            FUZZ_CHECK(in.announced > NativeMessaging::MaxIncoming);
            continue;
        }
        FUZZ_CHECK(in.body.size() == qsizetype(in.announced));
        const int before = g_deliveries;
        const QJsonObject reply = Host().answer(in.body);
        // Every reply says whether it worked, and why not when it did not.
        FUZZ_CHECK(reply.value(QStringLiteral("ok")).isBool(), in.body);
        if (!reply.value(QStringLiteral("ok")).toBool())
            FUZZ_CHECK(!reply.value(QStringLiteral("error")).toString().isEmpty(), in.body);
        // A command reaches the program as the text it carried, once.
        const QJsonDocument doc = QJsonDocument::fromJson(in.body);
        const QJsonValue text = doc.object().value(QStringLiteral("text"));
        const bool command =
            doc.isObject() &&
            doc.object().value(QStringLiteral("type")).toString() == QLatin1String("command") &&
            text.isString();
        FUZZ_CHECK(g_deliveries == before + (command ? 1 : 0), in.body);
        if (command)
            FUZZ_CHECK(g_delivered == text.toString().toUtf8(), in.body, g_delivered);
        // The reply is framed whole.
        const QByteArray body = QJsonDocument(reply).toJson(QJsonDocument::Compact);
        FUZZ_CHECK(!body.isEmpty());
    }
    ::close(fds[0]);
    return 0;
}
