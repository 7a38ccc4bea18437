#include "ui/Skin.h"

#include "ui/Icons.h"

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

namespace Skin {

QPalette palette() {
    const QColor window = windowColor();
    const QColor text(0x1f, 0x2a, 0x33);
    const QColor base(0xff, 0xff, 0xff);
    const QColor button(0xea, 0xee, 0xf3);
    const QColor muted(0x8a, 0x97, 0xa3);

    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(0xf0, 0xf4, 0xf8));
    p.setColor(QPalette::ToolTipBase, QColor(0xfd, 0xfd, 0xf4));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, muted);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(0xc0, 0x50, 0x4d));
    p.setColor(QPalette::Light, QColor(0xff, 0xff, 0xff));
    p.setColor(QPalette::Midlight, QColor(0xf6, 0xf8, 0xfa));
    p.setColor(QPalette::Mid, QColor(0xc4, 0xcd, 0xd6));
    p.setColor(QPalette::Dark, QColor(0x9a, 0xa8, 0xb5));
    p.setColor(QPalette::Shadow, QColor(0x5c, 0x68, 0x73));
    p.setColor(QPalette::Highlight, accent());
    p.setColor(QPalette::HighlightedText, QColor(0xff, 0xff, 0xff));
    p.setColor(QPalette::Link, QColor(0x2f, 0x6f, 0xa8));
    p.setColor(QPalette::LinkVisited, QColor(0x6a, 0x4f, 0x8f));

    // Disabled controls fade rather than vanish.
    p.setColor(QPalette::Disabled, QPalette::WindowText, muted);
    p.setColor(QPalette::Disabled, QPalette::Text, muted);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, muted);
    p.setColor(QPalette::Disabled, QPalette::Base, window);
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0xb4, 0xc2, 0xcf));
    // A selection in a window that lost the focus stays readable.
    p.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0x8f, 0xa9, 0xbf));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, QColor(0xff, 0xff, 0xff));
    return p;
}

QString styleSheet() {
    // Only what the palette cannot say; Fusion draws everything else.
    return QStringLiteral(
        "QToolTip {"
        "  color: #1f2a33; background-color: #fdfdf4;"
        "  border: 1px solid #b8c6d3; padding: 2px 4px;"
        "}"
        "QToolButton { border: 1px solid transparent; border-radius: 3px; padding: 1px; }"
        "QToolButton:hover { background-color: #e2eaf2; border-color: #b8c6d3; }"
        "QToolButton:pressed, QToolButton:checked {"
        "  background-color: #d3dfea; border-color: #8fa9bf;"
        "}"
        "QToolButton:disabled { background-color: transparent; border-color: transparent; }"
        "QStatusBar { border-top: 1px solid #d5dde5; }"
        "QStatusBar::item { border: none; }");
}

void apply(QApplication& app) {
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    QApplication::setPalette(palette());
    app.setStyleSheet(styleSheet());

    // Chinese texts read best in a CJK face; the first one installed wins.
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Source Han Sans SC"), QStringLiteral("Droid Sans Fallback"),
                      font.family()});
    QApplication::setFont(font);

    QApplication::setWindowIcon(Icons::get(QString::fromLatin1(Icons::Program)));
}

} // namespace Skin
