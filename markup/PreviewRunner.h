#pragma once
// The preview button's work off the window's thread: the conversion runs on
// a worker with its time budget while the window keeps answering; writing
// and opening the page follow on the window's thread. One preview at a time.
#include "settings/SettingsMirror.h"

#include <QObject>
#include <QString>

class QThread;

class PreviewRunner : public QObject {
    Q_OBJECT
  public:
    explicit PreviewRunner(QObject* parent = nullptr);
    // Waits for a conversion still running (it ends within its budget).
    ~PreviewRunner() override;

    // Starts the preview of the post; false, and nothing happens, for an
    // empty content or while another preview is being converted. Failures
    // are shown in the standard error box when the conversion ends.
    bool start(const QString& programDir, const QString& title, const QString& content,
               const TSettingsMirror& settings);
    bool isRunning() const { return m_thread != nullptr; }

  signals:
    // The page was written and opened (true), or the preview failed.
    void finished(bool opened);

  private:
    void finish();

    QThread* m_thread = nullptr;
    QString m_programDir;
    QString m_title;
    // Set by the worker, read after it has ended.
    QString m_html;
    QString m_error;
};
