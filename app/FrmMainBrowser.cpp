// The main window's end of the browser bridge: the host manifests that let the
// browsers start our host, and the capture socket whose commands run through
// the clipboard poll's code without touching the clipboard.
#include "app/TFrmMain.h"

#include "bridge/CapturePoll.h"
#include "bridge/HostManifests.h"
#include "platform/CaptureChannel.h"
#include "platform/Paths.h"
#include "platform/VellumError.h"

#include <QFileInfo>

#include <cstdio>

void TFrmMain::RegisterBrowserHost() {
    // Installed, this is the system's host, so that a manifest left by a
    // staged folder (which browsers prefer to the system-wide one) is replaced.
    const QString host = Paths::browserHostPath();
    // A manifest naming a missing host would only replace a working one left
    // by another installation.
    if (!QFileInfo(host).isExecutable()) {
        std::fprintf(stderr, "vellum: %s not found; the browser extension cannot reach Vellum\n",
                     qPrintable(host));
        return;
    }
    try {
        HostManifests::write(host);
    } catch (const VellumError& e) {
        m_pendingErrors << e.message();
    }
}

void TFrmMain::listenForBrowserCommands() {
    m_captureChannel = new CaptureChannel(this);
    try {
        m_captureChannel->listen(Paths::runtimeDir());
        connect(m_captureChannel, &CaptureChannel::commandReceived, this,
                [this](const QString& text) {
                    if (m_capturePoll)
                        m_capturePoll->enqueueCommand(text);
                });
    } catch (const VellumError& e) {
        m_pendingErrors << e.message();
    }
}
