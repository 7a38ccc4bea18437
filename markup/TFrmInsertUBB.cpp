#include "markup/TFrmInsertUBB.h"

#include "platform/DialogFrame.h"

TFrmInsertUBB::TFrmInsertUBB(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmInsertUBB"));
    setWindowTitle(QStringLiteral("插入UBB标签"));
    setFixedDialogFrame(this, 300, 160);
}
