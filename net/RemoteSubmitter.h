#pragma once
// The "远程提交" command: refuses an incomplete post with a message, sends
// the post on a worker and reports the server's answer in a few words, never
// in a box. The button stays disabled for a second after each click, without
// blocking the window; submissions may overlap.
#include "net/UiHandOver.h"

#include <QObject>
#include <QPointer>

class QAbstractButton;
class QWidget;

class RemoteSubmitter : public QObject {
    Q_OBJECT
  public:
    static constexpr int kReadTimeoutMs = 5000;
    static constexpr int kButtonPauseMs = 1000;

    RemoteSubmitter(QAbstractButton* button, QWidget* owner);
    ~RemoteSubmitter() override;

    // False when a message refused it.
    bool Submit(const QByteArray& address, const QString& title, const QString& content,
                const QString& category);

  signals:
    // "正在提交…" when a submission starts, then "已提交" or "提交失败：…".
    void outcome(const QString& text);

  private:
    QPointer<QAbstractButton> m_button;
    QWidget* m_owner;
    UiHandOverPtr m_handOver;
};
