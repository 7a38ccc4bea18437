#pragma once
#include <QDialog>

// A dialog with a fixed border and only the close box, of the given client size.
inline void setFixedDialogFrame(QDialog* dialog, int width, int height) {
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    dialog->setFixedSize(width, height);
}
