#include "net/Tfrmexportdata.h"

#include "platform/DialogFrame.h"

Tfrmexportdata::Tfrmexportdata(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmexportdata"));
    setWindowTitle(QStringLiteral("自定义导出数据"));
    setFixedDialogFrame(this, 420, 300);
}
