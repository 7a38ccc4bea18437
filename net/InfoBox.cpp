#include "net/InfoBox.h"

#include <QAbstractButton>
#include <QMessageBox>

void ShowInfoBox(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("提示"), text, QMessageBox::Ok, owner);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}
