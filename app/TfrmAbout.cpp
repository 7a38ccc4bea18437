#include "app/TfrmAbout.h"

#include "platform/DialogFrame.h"
#include "ui/Icons.h"
#include "ui/LinkLabel.h"
#include "ui/ProductAddresses.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("软件关于"));
    setFixedDialogFrame(this, 340, 200);

    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(16, 16, 16, 12);
    root->setSpacing(16);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(Icons::get(QString::fromLatin1(Icons::Program)).pixmap(QSize(72, 72)));
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    picture->setCursor(Qt::PointingHandCursor);
    picture->installEventFilter(this);
    m_picture = picture;
    root->addWidget(picture, 0, Qt::AlignTop);

    auto* text = new QVBoxLayout();
    text->setSpacing(8);
    auto* name = new QLabel(QStringLiteral("Vellum"), this);
    name->setObjectName(QStringLiteral("lblName"));
    QFont big = name->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    name->setFont(big);
    text->addWidget(name);

    auto* grid = new QGridLayout();
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    grid->addWidget(new QLabel(QStringLiteral("软件版本 "), this), 0, 0);
    auto* version = new QLabel(QStringLiteral("V" VELLUM_VERSION), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    grid->addWidget(version, 0, 1);
    // The help page in the program folder stands in for a web site.
    grid->addWidget(new QLabel(QStringLiteral("使用帮助"), this), 1, 0);
    auto* site = new LinkLabel(QStringLiteral("本机帮助页面"), ProductAddresses::helpPage(), this);
    site->setObjectName(QStringLiteral("lnkWebSite"));
    site->setToolTip(ProductAddresses::helpPagePath());
    grid->addWidget(site, 1, 1);
    grid->setColumnStretch(1, 1);
    text->addLayout(grid);
    auto* note = new QLabel(QStringLiteral("(欢迎提出宝贵意见)"), this);
    note->setObjectName(QStringLiteral("lblNote"));
    text->addWidget(note);
    text->addStretch(1);

    auto* ok = new QPushButton(QStringLiteral("确 定"), this);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    // The links are Tab stops too; Enter on opening means OK, not a link.
    ok->setFocus();
    text->addWidget(ok, 0, Qt::AlignRight);
    root->addLayout(text, 1);
}

bool TfrmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_picture && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmAbout::showEvent(QShowEvent* event) {
    // Centred on the main window, whichever form it is in; on the screen when
    // the main window is hidden in the tray.
    QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (owner && owner->isVisible()) {
        QRect frame(owner->frameGeometry().center() - rect().center(), frameGeometry().size());
        if (const QScreen* screen = owner->screen()) {
            // A narrow window at a screen edge would push the box partly off it.
            const QRect area = screen->availableGeometry();
            frame.moveLeft(qBound(area.left(), frame.left(), area.right() + 1 - frame.width()));
            frame.moveTop(qBound(area.top(), frame.top(), area.bottom() + 1 - frame.height()));
        }
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}
