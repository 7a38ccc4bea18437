#include "app/Tfrmtrans.h"

#include "platform/DialogFrame.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

Tfrmtrans::Tfrmtrans(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmtrans"));
    setWindowTitle(QStringLiteral("转移帖子"));
    setFixedDialogFrame(this, 320, 64);
    auto* layout = new QHBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("将该贴转移到："), this);
    layout->addWidget(label);
    m_combo = new QComboBox(this);
    m_combo->setObjectName(QStringLiteral("cbxclass"));
    label->setBuddy(m_combo);
    m_combo->setEditable(false);
    layout->addWidget(m_combo, 1);
    auto* button = new QPushButton(QStringLiteral("转 移"), this);
    button->setObjectName(QStringLiteral("btnok"));
    button->setDefault(true);
    layout->addWidget(button);
    connect(button, &QPushButton::clicked, this, [this] {
        if (m_combo->currentIndex() < 0)
            return;
        m_chosen = m_combo->currentData().toInt();
        accept();
    });
}

void Tfrmtrans::setTargets(const QList<QPair<QString, int>>& targets) {
    m_combo->clear();
    for (const auto& [caption, index] : targets)
        m_combo->addItem(caption, index);
    m_combo->setCurrentIndex(targets.isEmpty() ? -1 : 0);
    m_chosen = -1;
}
