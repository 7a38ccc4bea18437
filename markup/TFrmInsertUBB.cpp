#include "markup/TFrmInsertUBB.h"

#include "platform/DialogFrame.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFrmInsertUBB::TFrmInsertUBB(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmInsertUBB"));
    setWindowTitle(QStringLiteral("插入UBB标签"));

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* fields = new QVBoxLayout(GroupBox1);
    fields->setContentsMargins(10, 8, 10, 10);
    fields->setSpacing(4);
    lab1 = new QLabel(GroupBox1);
    lab1->setObjectName(QStringLiteral("lab1"));
    Edt1 = new QLineEdit(GroupBox1);
    Edt1->setObjectName(QStringLiteral("Edt1"));
    Lab2 = new QLabel(GroupBox1);
    Lab2->setObjectName(QStringLiteral("Lab2"));
    Edt2 = new QLineEdit(GroupBox1);
    Edt2->setObjectName(QStringLiteral("Edt2"));
    lab1->setBuddy(Edt1);
    Lab2->setBuddy(Edt2);
    fields->addWidget(lab1);
    fields->addWidget(Edt1);
    fields->addSpacing(4);
    fields->addWidget(Lab2);
    fields->addWidget(Edt2);

    BtnOK = new QPushButton(QStringLiteral("确 定"), this);
    BtnOK->setObjectName(QStringLiteral("BtnOK"));
    BtnOK->setDefault(true);
    BtnCancel = new QPushButton(QStringLiteral("取 消"), this);
    BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
    connect(BtnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(BtnOK);
    buttons->addWidget(BtnCancel);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(10, 8, 10, 10);
    root->addWidget(GroupBox1);
    root->addLayout(buttons);
    setFixedDialogFrame(this, 340, 180);
}

TFrmInsertUBB::Result TFrmInsertUBB::run(Variant variant) {
    static const QString size = QStringLiteral("500,350");
    struct Texts {
        QString lab1, edt1, lab2, edt2;
    };
    Texts t;
    switch (variant) {
    case Variant::Link:
        t = {QStringLiteral("链接描述"), {}, QStringLiteral("链接地址"), QStringLiteral("http://")};
        break;
    case Variant::Image:
        t = {QStringLiteral("图片描述"), {}, QStringLiteral("图片地址"), {}};
        break;
    case Variant::Flash:
        t = {
            QStringLiteral("Flash宽和高(width,height)"), size, QStringLiteral("Flash文件地址"), {}};
        break;
    case Variant::Real:
        t = {QStringLiteral("Real Player视频宽和高(width,height)"),
             size,
             QStringLiteral("Real Player视频文件地址"),
             {}};
        break;
    case Variant::Media:
        t = {QStringLiteral("Media Player视频宽和高(width,height)"),
             size,
             QStringLiteral("Media Player视频文件地址"),
             {}};
        break;
    }
    lab1->setText(t.lab1);
    Edt1->setText(t.edt1);
    Lab2->setText(t.lab2);
    Edt2->setText(t.edt2);
    Edt1->setFocus();
    Edt1->selectAll();
    const bool accepted = exec() == QDialog::Accepted;
    return {accepted, Edt1->text(), Edt2->text()};
}
