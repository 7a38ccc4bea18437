#include "platform/ErrorReporter.h"

#include "platform/VellumError.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace ErrorReporter {
namespace {
Handler& handler() {
    static Handler h;
    return h;
}
} // namespace

void setHandler(Handler h) {
    handler() = std::move(h);
}

void report(const QString& message) {
    std::fprintf(stderr, "vellum: %s\n", message.toLocal8Bit().constData());
    if (handler()) {
        handler()(message);
        return;
    }
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Vellum"), message);
}

void report(const std::exception& e) {
    if (const auto* ve = dynamic_cast<const VellumError*>(&e))
        report(ve->message());
    else
        report(QString::fromLocal8Bit(e.what()));
}
} // namespace ErrorReporter
