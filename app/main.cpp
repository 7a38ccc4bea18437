// Vellum's entry: one instance at a time, the main window and its dialogs,
// and a close sequence that also runs on SIGTERM and at the end of the session.
#include "app/QtChinese.h"
#include "app/TFrmMain.h"
#include "platform/FileSizeLimit.h"
#include "platform/InstanceLock.h"
#include "platform/Paths.h"
#include "platform/ShowWindowChannel.h"
#include "platform/SignalWatcher.h"
#include "platform/VellumError.h"
#include "ui/Skin.h"
#include "ui/WindowPlatform.h"

#include <QApplication>
#include <QSessionManager>

#include <cstdio>

int main(int argc, char** argv) {
    // A signal before the window runs ends the program at once, writing nothing.
    SignalWatcher::exitOnSignal();
    FileSizeLimit::writesFailInsteadOfKilling();
    // The lock comes first: a second start ends at once, shows and writes
    // nothing, and needs no display.
    InstanceLock lock;
    try {
        if (!lock.tryAcquire(Paths::runtimeDir())) {
            // The running window comes forward instead: without a
            // notification area, or hidden, it could not be reached.
            QCoreApplication core(argc, argv);
            requestShowWindow(Paths::runtimeDir());
            return 0;
        }
    } catch (const VellumError& e) {
        std::fprintf(stderr, "vellum: %s\n", e.message().toLocal8Bit().constData());
        return 1;
    }

    // Docking and auto-hide place the window themselves, which needs X11.
    WindowPlatform::preferX11();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellum"));
    QApplication::setQuitOnLastWindowClosed(false);
    Skin::apply(app);
    QtChinese::install();

    TFrmMain window;
    window.createDialogs();
    // The status is non-zero when the close could not save every category.
    QObject::connect(
        &window, &TFrmMain::closed, &app,
        [&window] { QCoreApplication::exit(window.exitStatus()); }, Qt::QueuedConnection);
    // Logging out or shutting down must not lose an edit.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.saveAllCategories(false); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window,
                     [&window] { window.closeSequence(false); });
    window.showAtStartUp();
    // From here on a signal runs the close sequence, which saves the posts.
    SignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &window,
                     [&window](int) { window.closeSequence(false); });
    return app.exec();
}
