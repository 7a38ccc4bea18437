#include "ui/ShellOpen.h"

#include <QDesktopServices>

#include <cstdio>

namespace ShellOpen {
namespace {
Handler& handler() {
    static Handler h;
    return h;
}
} // namespace

void open(const QUrl& address) {
    if (handler()) {
        handler()(address);
        return;
    }
    if (!QDesktopServices::openUrl(address))
        std::fprintf(stderr, "vellum: cannot open %s\n",
                     address.toDisplayString().toLocal8Bit().constData());
}

void setHandler(Handler h) {
    handler() = std::move(h);
}
} // namespace ShellOpen
