#include "app/MessageBoxes.h"

#include <QMessageBox>

namespace MessageBoxes {

void info(QWidget* owner, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, owner);
    box.exec();
}

bool confirm(QWidget* owner, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                    owner);
    return box.exec() == QMessageBox::Ok;
}

void error(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Vellum"), text, QMessageBox::Ok, owner);
    box.exec();
}

} // namespace MessageBoxes
