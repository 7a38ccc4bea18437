#include "ui/TrayMenu.h"

#include "ui/Icons.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStyle>

namespace {
// The gradient's last row; below it the strip keeps its darkest blue.
constexpr int kGradientRows = 102;
const QColor kDeepBlue(0, 0, 205);

QFont bannerFont() {
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Droid Sans Fallback")});
    font.setPointSize(9);
    return font;
}
} // namespace

TrayMenu::TrayMenu(QWidget* parent) : QMenu(parent) {
    setObjectName(QStringLiteral("PopupMenu"));
    // The banner takes the first column; the items start beside it.
    setContentsMargins(kBannerWidth, 0, 0, 0);

    const auto item = [this](const char* name, const QString& caption, const char* icon,
                             void (TrayMenu::*signal)()) {
        QAction* action = addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        if (icon)
            action->setIcon(Icons::get(QString::fromLatin1(icon)));
        connect(action, &QAction::triggered, this, signal);
        return action;
    };
    const auto separator = [this](const char* name) {
        addSeparator()->setObjectName(QString::fromLatin1(name));
    };
    item("N1", QStringLiteral("显示主界面"), Icons::Program, &TrayMenu::showMainWindowRequested);
    item("IE1", QStringLiteral("Vellum浏览器扩展"), nullptr, &TrayMenu::browserEditionRequested);
    separator("N5");
    item("N4", QStringLiteral("参数设置"), Icons::Settings, &TrayMenu::settingsRequested);
    separator("N6");
    item("N10", QStringLiteral("官方论坛"), Icons::Help, &TrayMenu::forumRequested);
    item("N7", QStringLiteral("在线帮助"), nullptr, &TrayMenu::helpRequested);
    item("N2", QStringLiteral("关 于..."), Icons::About, &TrayMenu::aboutRequested);
    separator("N8");
    item("N3", QStringLiteral("退 出"), nullptr, &TrayMenu::exitRequested);
}

void TrayMenu::paintBanner(QPainter& painter, int width, int height, int firstItemBottom) {
    for (int row = 0; row < height; ++row) {
        const int light = row <= kGradientRows ? kGradientRows - row : 0;
        painter.fillRect(0, row, width, 1,
                         row <= kGradientRows ? QColor(light, light, 205) : kDeepBlue);
    }
    // The title runs from top to bottom, its letters' tops facing right.
    painter.save();
    painter.setFont(bannerFont());
    painter.setPen(Qt::white);
    painter.translate(19, firstItemBottom + 78);
    painter.rotate(90);
    painter.drawText(0, painter.fontMetrics().ascent(), QStringLiteral("→Vellum"));
    painter.restore();
}

void TrayMenu::paintEvent(QPaintEvent* event) {
    QMenu::paintEvent(event);
    const int frame = style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this);
    const QList<QAction*> items = actions();
    const int firstBottom =
        items.isEmpty() ? 0 : actionGeometry(items.first()).bottom() + 1 - frame;
    QPainter painter(this);
    painter.setClipRect(event->rect());
    painter.translate(frame, frame);
    paintBanner(painter, kBannerWidth, height() - 2 * frame, firstBottom);
}
