// The main window's network commands: remote submission, the daily usage
// request, the image download, and ending transfers with the program.
#include "app/TFrmMain.h"

#include "net/HttpTransfer.h"
#include "net/ImageAddressScan.h"
#include "net/RemoteSubmitter.h"
#include "net/TFrmDownfile.h"
#include "net/UsageCount.h"
#include "platform/Paths.h"
#include "platform/VellumError.h"
#include "ui/Accessibility.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>

#include <cstdio>

namespace {
// Running transfers get this long to end when the program closes.
constexpr int kExitWaitMs = 1000;
} // namespace

void TFrmMain::setupNetwork() {
    Http::ResetAbort();
    m_submitter = new RemoteSubmitter(btnPostData, this);
    connect(btnPostData, &QToolButton::clicked, this, &TFrmMain::PostData);
    connect(m_submitter, &RemoteSubmitter::outcome, m_statusPanels[1],
            [panel = m_statusPanels[1]](const QString& text) {
                panel->setText(text);
                Accessibility::announce(panel, text);
            });
    connect(qApp, &QCoreApplication::aboutToQuit, this, &TFrmMain::cancelTransfers);
}

void TFrmMain::SendUsageCount() {
    // Runs before the program directory is recorded (creation step 3).
    try {
        ::SendUsageCount(Paths::programDir() + QStringLiteral("config.ini"));
    } catch (const VellumError& e) {
        std::fprintf(stderr, "vellum: %s\n", e.message().toLocal8Bit().constData());
    }
}

void TFrmMain::PostData() {
    m_submitter->Submit(m_settings.URL, edtTitle->text(), contentText(),
                        tabCaption(activeCategory()));
}

void TFrmMain::DownloadAllImages() {
    m_frmDownfile->ShowDownloads(edtTitle->text(), ScanImageAddresses(meoContent->toPlainText()));
}

void TFrmMain::wireDownloadMenu() {
    if (QAction* item = findChild<QAction*>(QStringLiteral("NDownloadImages"))) {
        item->setEnabled(true);
        connect(item, &QAction::triggered, this, &TFrmMain::DownloadAllImages);
    }
}

void TFrmMain::cancelTransfers() {
    if (!Http::AbortAll(kExitWaitMs))
        std::fprintf(stderr, "vellum: network transfers still running at exit\n");
}
