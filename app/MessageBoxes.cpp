#include "app/MessageBoxes.h"

#include <QAbstractButton>
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
    // Chinese whether or not Qt's own translations are loaded.
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}

EditorState::Answer askToSave(QWidget* owner) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("提示"),
                    QStringLiteral("当前帖子尚未保存。要保存吗？"),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, owner);
    box.setObjectName(QStringLiteral("UnsavedQuestion"));
    box.button(QMessageBox::Save)->setText(QStringLiteral("保存"));
    box.button(QMessageBox::Discard)->setText(QStringLiteral("不保存"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    if (box.clickedButton() == box.button(QMessageBox::Save))
        return EditorState::Answer::Save;
    if (box.clickedButton() == box.button(QMessageBox::Discard))
        return EditorState::Answer::Discard;
    return EditorState::Answer::Cancel;
}

} // namespace MessageBoxes
