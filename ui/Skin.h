#pragma once
// The program's look: Qt's Fusion style with a calm palette of our own and a
// few touches of style sheet, in a light and a dark variant that follow the
// desktop. Under a high-contrast desktop the desktop's own palette stays and
// nothing here paints a fixed colour over it. Applied once, before any window
// is shown; every colour that a window paints itself comes from here, so all
// of them change together.
#include <QColor>
#include <QPalette>
#include <QString>

class QApplication;

namespace Skin {

enum class Variant { Light, Dark, HighContrast };

// Sets the style, the palette, the style sheet and the program icon. The
// first form follows the desktop (ColorScheme::detect).
void apply(QApplication& app);
void apply(QApplication& app, Variant variant);

// The variant that apply() installed (Light before any apply()).
Variant variant();

// The palette of a variant; under HighContrast, the desktop's palette.
QPalette palette(Variant v);
QPalette palette();
// The style sheet of a variant.
QString styleSheet(Variant v);
QString styleSheet();

// Colours the windows use for their own painting, for the installed variant.
QColor accent();     // bands and strips
QColor accentDark(); // headings on a light ground (light text in the dark variant)
QColor windowColor();
QColor borderColor();
// The category lists' and the editor's grounds; invalid under HighContrast,
// where the widgets keep the desktop's.
QColor listBase();
QColor editorBase();
// The toast: its ground from top to bottom, and its text.
QColor toastTop();
QColor toastBottom();
QColor toastText();
// The category tabs above the lists (a style sheet for their buttons).
QString tabHeaderStyleSheet();

// WCAG 2.1 contrast ratio of two opaque colours (1 to 21).
double contrastRatio(const QColor& a, const QColor& b);

} // namespace Skin
