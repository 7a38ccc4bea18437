#include "ui/Skin.h"

#include "ui/ColorScheme.h"
#include "ui/Icons.h"

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

#include <cmath>

namespace Skin {
namespace {

Variant g_variant = Variant::Light;
// The desktop's palette as it was before apply(): what HighContrast keeps.
QPalette g_desktopPalette;
bool g_desktopPaletteKnown = false;

struct Colours {
    QColor window, text, base, alternateBase, button, muted, tipBase, brightText;
    QColor light, midlight, mid, dark, shadow, highlight, highlightedText;
    QColor link, linkVisited, disabledHighlight, inactiveHighlight, inactiveHighlightedText;
    QColor accent, accentDark, border, listBase, editorBase;
    QColor toastTop, toastBottom, toastText;
};

const Colours& colours(Variant v) {
    static const Colours light{
        QColor(0xf3, 0xf5, 0xf8), QColor(0x1f, 0x2a, 0x33), QColor(0xff, 0xff, 0xff),
        QColor(0xf0, 0xf4, 0xf8), QColor(0xea, 0xee, 0xf3), QColor(0x8a, 0x97, 0xa3),
        QColor(0xfd, 0xfd, 0xf4), QColor(0xc0, 0x50, 0x4d), QColor(0xff, 0xff, 0xff),
        QColor(0xf6, 0xf8, 0xfa), QColor(0xc4, 0xcd, 0xd6), QColor(0x9a, 0xa8, 0xb5),
        QColor(0x5c, 0x68, 0x73), QColor(0x4a, 0x73, 0x96), QColor(0xff, 0xff, 0xff),
        QColor(0x2f, 0x6f, 0xa8), QColor(0x6a, 0x4f, 0x8f), QColor(0xb4, 0xc2, 0xcf),
        QColor(0x8f, 0xa9, 0xbf), QColor(0x1f, 0x2a, 0x33), QColor(0x4a, 0x73, 0x96),
        QColor(0x3d, 0x5a, 0x73), QColor(0xb8, 0xc6, 0xd3), QColor(240, 251, 255),
        QColor(252, 252, 252),    QColor(0xfb, 0xfc, 0xfe), QColor(0xe4, 0xec, 0xf4),
        QColor(0x1f, 0x2a, 0x33)};
    // The same calm steel blue, on grounds dark enough for a dark desktop.
    static const Colours dark{
        QColor(0x26, 0x2a, 0x2f), QColor(0xe3, 0xe8, 0xed), QColor(0x1c, 0x1f, 0x23),
        QColor(0x24, 0x28, 0x2d), QColor(0x34, 0x39, 0x40), QColor(0x8d, 0x99, 0xa5),
        QColor(0x34, 0x39, 0x40), QColor(0xff, 0x8a, 0x80), QColor(0x4a, 0x50, 0x58),
        QColor(0x3a, 0x3f, 0x46), QColor(0x50, 0x57, 0x60), QColor(0x17, 0x19, 0x1c),
        QColor(0x00, 0x00, 0x00), QColor(0x3d, 0x6a, 0x91), QColor(0xff, 0xff, 0xff),
        QColor(0x8c, 0xc4, 0xff), QColor(0xc3, 0xa6, 0xe8), QColor(0x3a, 0x45, 0x50),
        QColor(0x35, 0x55, 0x72), QColor(0xff, 0xff, 0xff), QColor(0x3d, 0x6a, 0x91),
        QColor(0x9c, 0xc3, 0xe6), QColor(0x50, 0x5c, 0x68), QColor(0x1d, 0x27, 0x2d),
        QColor(0x20, 0x23, 0x27), QColor(0x34, 0x3a, 0x41), QColor(0x29, 0x2e, 0x34),
        QColor(0xe3, 0xe8, 0xed)};
    return v == Variant::Dark ? dark : light;
}

QPalette built(const Colours& c) {
    QPalette p;
    p.setColor(QPalette::Window, c.window);
    p.setColor(QPalette::WindowText, c.text);
    p.setColor(QPalette::Base, c.base);
    p.setColor(QPalette::AlternateBase, c.alternateBase);
    p.setColor(QPalette::ToolTipBase, c.tipBase);
    p.setColor(QPalette::ToolTipText, c.text);
    p.setColor(QPalette::PlaceholderText, c.muted);
    p.setColor(QPalette::Text, c.text);
    p.setColor(QPalette::Button, c.button);
    p.setColor(QPalette::ButtonText, c.text);
    p.setColor(QPalette::BrightText, c.brightText);
    p.setColor(QPalette::Light, c.light);
    p.setColor(QPalette::Midlight, c.midlight);
    p.setColor(QPalette::Mid, c.mid);
    p.setColor(QPalette::Dark, c.dark);
    p.setColor(QPalette::Shadow, c.shadow);
    p.setColor(QPalette::Highlight, c.highlight);
    p.setColor(QPalette::HighlightedText, c.highlightedText);
    p.setColor(QPalette::Link, c.link);
    p.setColor(QPalette::LinkVisited, c.linkVisited);

    // Disabled controls fade rather than vanish.
    p.setColor(QPalette::Disabled, QPalette::WindowText, c.muted);
    p.setColor(QPalette::Disabled, QPalette::Text, c.muted);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, c.muted);
    p.setColor(QPalette::Disabled, QPalette::Base, c.window);
    p.setColor(QPalette::Disabled, QPalette::Highlight, c.disabledHighlight);
    // A selection in a window that lost the focus stays visible, and its
    // text readable on the paler blue.
    p.setColor(QPalette::Inactive, QPalette::Highlight, c.inactiveHighlight);
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, c.inactiveHighlightedText);
    return p;
}

double channel(int value) {
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.red()) + 0.7152 * channel(rgb.green()) +
           0.0722 * channel(rgb.blue());
}

} // namespace

Variant variant() {
    return g_variant;
}

QPalette palette(Variant v) {
    if (v == Variant::HighContrast)
        return g_desktopPaletteKnown ? g_desktopPalette : QGuiApplication::palette();
    return built(colours(v));
}

QPalette palette() {
    return palette(g_variant);
}

QString styleSheet(Variant v) {
    // Labels that set themselves apart ("tone": a warning, a side note) keep
    // their tone in every variant; under high contrast they take the text
    // colour like everything else.
    if (v == Variant::HighContrast)
        return QStringLiteral("QToolButton:focus { border: 2px solid palette(highlight); }"
                              "QAbstractScrollArea[focusFrame=\"true\"]:focus { border: 2px solid "
                              "palette(highlight); }");
    const bool dark = v == Variant::Dark;
    const QString sheet = QStringLiteral(
        "QToolTip {"
        "  color: %1; background-color: %2;"
        "  border: 1px solid %3; padding: 2px 4px;"
        "}"
        "QToolButton { border: 1px solid transparent; border-radius: 3px; padding: 1px; }"
        "QToolButton:hover { background-color: %4; border-color: %3; }"
        "QToolButton:pressed, QToolButton:checked {"
        "  background-color: %5; border-color: %6;"
        "}"
        "QToolButton:disabled { background-color: transparent; border-color: transparent; }"
        // Flat tool buttons show no frame of their own, so the focus needs one.
        "QToolButton:focus { border: 1px dotted %7; background-color: %4; }"
        // Lists and memos show where the keyboard is: a frame in the accent.
        "QAbstractScrollArea[focusFrame=\"true\"] { border: 1px solid %8; padding: 1px; }"
        "QAbstractScrollArea[focusFrame=\"true\"]:focus { border: 2px solid %9; padding: 0px; }"
        "QStatusBar { border-top: 1px solid %10; }"
        "QStatusBar::item { border: none; }"
        "QLabel[tone=\"warning\"] { color: %11; }"
        "QLabel[tone=\"muted\"] { color: %12; }");
    // Fusion outlines an empty check box in a shade of the window colour,
    // which a dark ground swallows; the dark variant draws the outline.
    const QString darkIndicators = QStringLiteral(
        "QCheckBox::indicator:unchecked, QAbstractItemView::indicator:unchecked {"
        "  border: 1px solid #8d99a5; border-radius: 2px; background-color: #1c1f23; }"
        "QRadioButton::indicator:unchecked {"
        "  border: 1px solid #8d99a5; border-radius: 6px; background-color: #1c1f23; }"
        // So is Fusion's focus rectangle around their captions.
        "QCheckBox, QRadioButton { border: 1px solid transparent; }"
        "QCheckBox:focus, QRadioButton:focus { border: 1px dotted #9cc3e6; }");
    const Colours& c = colours(v);
    return (dark ? darkIndicators : QString()) +
           sheet
               .arg(c.text.name(), c.tipBase.name(), c.border.name(),
                    dark ? QStringLiteral("#3b434c") : QStringLiteral("#e2eaf2"),
                    dark ? QStringLiteral("#2f4b63") : QStringLiteral("#d3dfea"),
                    dark ? QStringLiteral("#5f87aa") : QStringLiteral("#8fa9bf"),
                    dark ? QStringLiteral("#9cc3e6") : QStringLiteral("#1c4f7c"), c.mid.name(),
                    dark ? QStringLiteral("#6fa3d1") : c.highlight.name())
               .arg(dark ? QStringLiteral("#3a4149") : QStringLiteral("#d5dde5"),
                    dark ? QStringLiteral("#ff8a80") : QStringLiteral("#c00000"),
                    dark ? QStringLiteral("#a9b4bf") : QStringLiteral("#606060"));
}

QString styleSheet() {
    return styleSheet(g_variant);
}

QString tabHeaderStyleSheet() {
    switch (g_variant) {
    case Variant::Light:
        return QStringLiteral(
            "QToolButton { border: 1px solid #b9c6d3; border-bottom: none;"
            " border-top-left-radius: 4px; border-top-right-radius: 4px; background: #e6edf4;"
            " padding: 1px 4px; color: #2b3a48; }"
            "QToolButton:hover { background: #f2f6fa; }"
            "QToolButton:checked { background: #ffffff; font-weight: bold; color: #1c4f7c; }"
            "QToolButton:focus { border: 1px dotted #1c4f7c; background-color: #e2eaf2; }");
    case Variant::Dark:
        return QStringLiteral(
            "QToolButton { border: 1px solid #505c68; border-bottom: none;"
            " border-top-left-radius: 4px; border-top-right-radius: 4px; background: #30363d;"
            " padding: 1px 4px; color: #c9d2db; }"
            "QToolButton:hover { background: #3b434c; }"
            "QToolButton:checked { background: #1d272d; font-weight: bold; color: #9cc3e6; }"
            "QToolButton:focus { border: 1px dotted #9cc3e6; }");
    case Variant::HighContrast:
        break;
    }
    return QStringLiteral("QToolButton:checked { font-weight: bold; }"
                          "QToolButton:focus { border: 2px solid palette(highlight); }");
}

QColor accent() {
    return g_variant == Variant::HighContrast ? palette().color(QPalette::Highlight)
                                              : colours(g_variant).accent;
}
QColor accentDark() {
    return g_variant == Variant::HighContrast ? palette().color(QPalette::WindowText)
                                              : colours(g_variant).accentDark;
}
QColor windowColor() {
    return g_variant == Variant::HighContrast ? palette().color(QPalette::Window)
                                              : colours(g_variant).window;
}
QColor borderColor() {
    return g_variant == Variant::HighContrast ? palette().color(QPalette::WindowText)
                                              : colours(g_variant).border;
}
QColor listBase() {
    return g_variant == Variant::HighContrast ? QColor() : colours(g_variant).listBase;
}
QColor editorBase() {
    return g_variant == Variant::HighContrast ? QColor() : colours(g_variant).editorBase;
}
QColor toastTop() {
    return g_variant == Variant::HighContrast ? palette().color(QPalette::Window)
                                              : colours(g_variant).toastTop;
}
QColor toastBottom() {
    return g_variant == Variant::HighContrast ? palette().color(QPalette::Window)
                                              : colours(g_variant).toastBottom;
}
QColor toastText() {
    return g_variant == Variant::HighContrast ? palette().color(QPalette::WindowText)
                                              : colours(g_variant).toastText;
}

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

void apply(QApplication& app) {
    if (!g_desktopPaletteKnown) {
        g_desktopPalette = QGuiApplication::palette();
        g_desktopPaletteKnown = true;
    }
    apply(app, ColorScheme::detect(g_desktopPalette));
}

void apply(QApplication& app, Variant variant) {
    if (!g_desktopPaletteKnown) {
        g_desktopPalette = QGuiApplication::palette();
        g_desktopPaletteKnown = true;
    }
    g_variant = variant;
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    QApplication::setPalette(palette(variant));
    app.setStyleSheet(styleSheet(variant));

    // Chinese texts read best in a CJK face; the first one installed wins.
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Source Han Sans SC"), QStringLiteral("Droid Sans Fallback"),
                      font.family()});
    QApplication::setFont(font);

    QApplication::setWindowIcon(Icons::get(QString::fromLatin1(Icons::Program)));
}

} // namespace Skin
