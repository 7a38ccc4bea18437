#include "app/TfrmAbout.h"

#include "platform/DialogFrame.h"

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("软件关于"));
    setFixedDialogFrame(this, 320, 200);
}
