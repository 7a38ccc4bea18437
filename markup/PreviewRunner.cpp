#include "markup/PreviewRunner.h"

#include "markup/PreviewPage.h"
#include "markup/UbbToHtml.h"
#include "platform/ErrorReporter.h"
#include "platform/VellumError.h"

#include <QApplication>
#include <QThread>

namespace {
bool hasCursor() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}
} // namespace

PreviewRunner::PreviewRunner(QObject* parent) : QObject(parent) {}

PreviewRunner::~PreviewRunner() {
    if (!m_thread)
        return;
    m_thread->wait();
    delete m_thread;
    if (hasCursor())
        QApplication::restoreOverrideCursor();
}

bool PreviewRunner::start(const QString& programDir, const QString& title, const QString& content,
                          const TSettingsMirror& settings) {
    if (content.isEmpty() || m_thread)
        return false;
    m_programDir = programDir;
    m_title = title;
    m_html.clear();
    m_error.clear();
    // The worker has its own copies; nothing it reads changes meanwhile.
    m_thread = QThread::create([this, content, settings] {
        try {
            m_html = UbbToHtml(content, settings);
        } catch (const VellumError& e) {
            m_error = e.message();
        } catch (const std::exception& e) {
            m_error = QString::fromLocal8Bit(e.what());
        }
    });
    // Delivered on this object's thread once the worker has ended.
    connect(m_thread, &QThread::finished, this, &PreviewRunner::finish, Qt::QueuedConnection);
    if (hasCursor())
        QApplication::setOverrideCursor(Qt::BusyCursor);
    m_thread->start();
    return true;
}

void PreviewRunner::finish() {
    if (!m_thread)
        return;
    m_thread->wait();
    delete std::exchange(m_thread, nullptr);
    if (hasCursor())
        QApplication::restoreOverrideCursor();
    bool opened = false;
    if (!m_error.isEmpty()) {
        ErrorReporter::report(m_error);
    } else {
        try {
            WritePreview(m_programDir, m_title, m_html);
            opened = true;
        } catch (const VellumError& e) {
            ErrorReporter::report(e);
        }
    }
    m_html.clear();
    emit finished(opened);
}
