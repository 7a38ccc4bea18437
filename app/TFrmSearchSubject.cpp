#include "app/TFrmSearchSubject.h"

#include "platform/DialogFrame.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TFrmSearchSubject::TFrmSearchSubject(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmSearchSubject"));
    setWindowTitle(QStringLiteral("查找帖子"));
    setFixedDialogFrame(this, 300, 64);
    auto* layout = new QHBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("标题"), this);
    layout->addWidget(label);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("edtSearchSubject"));
    label->setBuddy(m_edit);
    layout->addWidget(m_edit, 1);
    auto* button = new QPushButton(QStringLiteral("查 找"), this);
    button->setObjectName(QStringLiteral("btnSearch"));
    button->setDefault(true);
    layout->addWidget(button);
    connect(button, &QPushButton::clicked, this, [this] {
        m_searchText = m_edit->text();
        m_edit->clear();
        accept();
    });
}

void TFrmSearchSubject::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_edit->setFocus();
}
