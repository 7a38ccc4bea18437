#include "markup/TfrmSearchReplace.h"

#include "markup/ReplaceNoCase.h"
#include "platform/DialogFrame.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmSearchReplace::TfrmSearchReplace(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSearchReplace"));
    setWindowTitle(QStringLiteral("查找替换字符串"));

    edtSearch = new QLineEdit(this);
    edtSearch->setObjectName(QStringLiteral("edtSearch"));
    edtReplace = new QLineEdit(this);
    edtReplace->setObjectName(QStringLiteral("edtReplace"));
    auto* searchLabel = new QLabel(QStringLiteral("查找字符串： "), this);
    searchLabel->setBuddy(edtSearch);
    auto* replaceLabel = new QLabel(QStringLiteral("替换字符串： "), this);
    replaceLabel->setBuddy(edtReplace);
    Button1 = new QPushButton(QStringLiteral("替 换"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TfrmSearchReplace::Button1Click);

    auto* fields = new QGridLayout();
    fields->addWidget(searchLabel, 0, 0);
    fields->addWidget(edtSearch, 0, 1);
    fields->addWidget(replaceLabel, 1, 0);
    fields->addWidget(edtReplace, 1, 1);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(10, 10, 10, 10);
    root->addLayout(fields);
    root->addLayout(buttons);
    setFixedDialogFrame(this, 340, 110);
}

void TfrmSearchReplace::setWorkingTextSource(std::function<QString()> source) {
    m_source = std::move(source);
}

void TfrmSearchReplace::Button1Click() {
    if (m_source)
        m_workingText = m_source();
    m_workingText =
        ReplaceAllNoCase(m_workingText, edtSearch->text(), edtReplace->text(), &m_replaced);
    accept();
}

QString TfrmSearchReplace::searchText() const {
    return edtSearch->text();
}
