#pragma once
// Answers the message boxes that come up while it lives with OK, and only
// those: a modal dialog that is already open underneath is left alone.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QTimer>

class BoxAnswer {
  public:
    BoxAnswer() {
        m_poll.setInterval(10);
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen << box->windowTitle() + QLatin1Char('|') + box->text();
            texts << box->text();
            okTexts << box->button(QMessageBox::Ok)->text();
            box->button(QMessageBox::Ok)->click();
        });
        m_poll.start();
    }
    // "caption|text" of each box answered, in order.
    QStringList seen;
    // The text alone of each box answered.
    QStringList texts;
    QStringList okTexts;

    void stop() { m_poll.stop(); }

  private:
    QTimer m_poll;
};
