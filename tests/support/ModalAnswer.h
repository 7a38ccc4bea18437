#pragma once
// Answers the next modal dialog or message box from a timer, because exec()
// blocks the test until the dialog closes.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// Calls action(dialog) on the next modal widget; remembers its text.
struct ModalAnswer {
    QString seenText;
    QString seenTitle;
    bool answered = false;

    void next(std::function<void(QWidget*)> action) {
        auto tries = std::make_shared<int>(0);
        auto poll = std::make_shared<std::function<void()>>();
        *poll = [this, action, tries, poll]() {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) {
                if (++*tries < 200)
                    QTimer::singleShot(10, *poll);
                return;
            }
            if (auto* box = qobject_cast<QMessageBox*>(modal))
                seenText = box->text();
            seenTitle = modal->windowTitle();
            answered = true;
            action(modal);
        };
        QTimer::singleShot(0, *poll);
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
};
