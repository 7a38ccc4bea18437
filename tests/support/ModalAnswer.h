#pragma once
// Answers the next modal dialog or message box from a timer, because exec()
// blocks the test until the dialog closes.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// Calls action(dialog) on the next modal widget; remembers its text.
struct ModalAnswer {
    QString seenText;
    QString seenTitle;
    bool answered = false;

    ModalAnswer() = default;
    ModalAnswer(const ModalAnswer&) = delete;
    ModalAnswer& operator=(const ModalAnswer&) = delete;
    // A timer that outlives the test must not write into a dead object.
    ~ModalAnswer() {
        for (const QPointer<QTimer>& t : m_timers)
            delete t.data();
    }

    void next(std::function<void(QWidget*)> action) {
        auto* timer = new QTimer;
        timer->setInterval(10);
        m_timers.append(timer);
        auto tries = std::make_shared<int>(0);
        QObject::connect(timer, &QTimer::timeout, [this, action, tries, timer]() {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) {
                if (++*tries >= 300)
                    timer->deleteLater();
                return;
            }
            timer->stop();
            timer->deleteLater();
            if (auto* box = qobject_cast<QMessageBox*>(modal))
                seenText = box->text();
            seenTitle = modal->windowTitle();
            answered = true;
            action(modal);
        });
        timer->start();
    }
    // Presses the given button of a message box (OK by default).
    void press(QMessageBox::StandardButton button = QMessageBox::Ok) {
        next([button](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w))
                box->button(button)->click();
            else
                w->close();
        });
    }

  private:
    QList<QPointer<QTimer>> m_timers;
};
