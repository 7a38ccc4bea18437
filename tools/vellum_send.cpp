// vellum-send: delivers a window message to the running instance.
//   vellum-send 1108 <wparam>   the next-post message
#include "platform/NextPostChannel.h"
#include "platform/Paths.h"
#include "platform/VellumError.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {
int usage() {
    std::fputs("usage: vellum-send 1108 <wparam>\n", stderr);
    return 2;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return usage();
    if (args.at(1) != QLatin1String("1108")) {
        std::fprintf(stderr, "vellum-send: unknown message '%s'\n", qPrintable(args.at(1)));
        return usage();
    }
    int wparam = 0;
    if (!NextPostChannel::parseLine(args.at(2).toLatin1(), wparam) ||
        args.at(2).toLatin1() != args.at(2).toUtf8()) {
        std::fprintf(stderr, "vellum-send: '%s' is not an integer\n", qPrintable(args.at(2)));
        return usage();
    }
    QString runtimeDir;
    try {
        runtimeDir = Paths::runtimeDir();
    } catch (const VellumError& e) {
        std::fprintf(stderr, "vellum-send: %s\n", qPrintable(e.message()));
        return 1;
    }
    if (!sendNextPostMessage(runtimeDir, wparam)) {
        std::fputs("vellum-send: no running instance receives the message\n", stderr);
        return 1;
    }
    return 0;
}
