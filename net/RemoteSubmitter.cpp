#include "net/RemoteSubmitter.h"

#include "net/InfoBox.h"
#include "net/RemoteSubmission.h"
#include "net/TPostDataThread.h"
#include "platform/AnsiCodePage.h"

#include <QAbstractButton>
#include <QTimer>

RemoteSubmitter::RemoteSubmitter(QAbstractButton* button, QWidget* owner)
    : QObject(owner), m_button(button), m_owner(owner),
      m_handOver(std::make_shared<UiHandOver>(this)) {}

RemoteSubmitter::~RemoteSubmitter() {
    m_handOver->detach();
}

bool RemoteSubmitter::Submit(const QByteArray& address, const QString& title,
                             const QString& content, const QString& category) {
    const QString refusal = CheckSubmission(address, title, content);
    if (!refusal.isEmpty()) {
        ShowInfoBox(m_owner, refusal);
        return false;
    }
    if (m_button) {
        m_button->setEnabled(false);
        QTimer::singleShot(kButtonPauseMs, m_button, [button = m_button] {
            if (button)
                button->setEnabled(true);
        });
    }
    emit outcome(QStringLiteral("正在提交…"));
    TPostDataThread::Start(
        AnsiCodePage::toUnicode(address), kReadTimeoutMs,
        SubmissionParameters(title, content, category), m_handOver,
        [this](const Http::Result& result) { emit outcome(JudgeSubmission(result).text); });
    return true;
}
