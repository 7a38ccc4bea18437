#include "net/TFrmDownfile.h"

#include "platform/DialogFrame.h"

TFrmDownfile::TFrmDownfile(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmDownfile"));
    setWindowTitle(QStringLiteral("下载文件"));
    setFixedDialogFrame(this, 420, 300);
}
