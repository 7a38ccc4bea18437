// vellum-browser-host: the native messaging host of the browser extension.
// The browser starts it with the extension's origin as an argument and talks
// to it on standard input and output; it answers every message in order until
// the browser closes the stream.
#include "browser/host/BrowserHost.h"
#include "browser/host/NativeMessaging.h"

#include <QCoreApplication>
#include <QJsonDocument>

#include <csignal>
#include <unistd.h>

namespace {
QByteArray encode(const QJsonObject& reply) {
    return QJsonDocument(reply).toJson(QJsonDocument::Compact);
}
} // namespace

int main(int argc, char** argv) {
    // A browser that went away must end us through a failed write, not a
    // signal in the middle of a reply.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);

    BrowserHost::Options options;
    options.programDir = BrowserHost::findProgramDir();
    // A sanitizer build on a loaded machine may need longer to start.
    bool set = false;
    const int startMs = qEnvironmentVariableIntValue("VELLUM_HOST_START_TIMEOUT_MS", &set);
    if (set && startMs > 0)
        options.startTimeoutMs = startMs;
    const int answerMs = qEnvironmentVariableIntValue("VELLUM_HOST_ANSWER_TIMEOUT_MS", &set);
    if (set && answerMs > 0)
        options.answerTimeoutMs = answerMs;
    BrowserHost host(options);

    for (;;) {
        const NativeMessaging::Incoming in = NativeMessaging::read(STDIN_FILENO);
        if (in.status == NativeMessaging::Status::End)
            return 0;
        QJsonObject reply;
        if (in.status == NativeMessaging::Status::TooLong)
            reply = BrowserHost::failure(
                QStringLiteral("浏览器发来的消息有 %1 字节，超过了 64 MiB。").arg(in.announced));
        else
            reply = host.answer(in.body);
        QByteArray body = encode(reply);
        if (body.size() > NativeMessaging::MaxReply)
            body = encode(BrowserHost::failure(
                QStringLiteral("回复超过 1 MB，浏览器收不下：请缩短帖子或快速回复。")));
        if (!NativeMessaging::write(STDOUT_FILENO, body))
            return 0;
    }
}
