#include "markup/TfrmSearchReplace.h"

#include "platform/DialogFrame.h"

TfrmSearchReplace::TfrmSearchReplace(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSearchReplace"));
    setWindowTitle(QStringLiteral("查找替换字符串"));
    setFixedDialogFrame(this, 320, 120);
}
