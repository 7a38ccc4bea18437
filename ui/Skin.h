#pragma once
// The program's look: Qt's Fusion style with a light, calm palette of our own
// and a few touches of style sheet. Applied once, before any window is shown.
#include <QColor>
#include <QPalette>
#include <QString>

class QApplication;

namespace Skin {
// Sets the style, the palette, the style sheet and the program icon.
void apply(QApplication& app);

// The palette that apply() installs.
QPalette palette();
// The style sheet that apply() installs.
QString styleSheet();

// Colours the windows use for their own painting.
inline QColor accent() {
    return QColor(0x4a, 0x73, 0x96);
} // soft steel blue
inline QColor accentDark() {
    return QColor(0x3d, 0x5a, 0x73);
} // outlines, headings
inline QColor windowColor() {
    return QColor(0xf3, 0xf5, 0xf8);
}
inline QColor borderColor() {
    return QColor(0xb8, 0xc6, 0xd3);
}
} // namespace Skin
