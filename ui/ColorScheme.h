#pragma once
// Which variant of the skin the desktop asks for. Debian's Qt 6.4 cannot tell
// the desktop's colour scheme itself, so this asks the freedesktop portal
// (org.freedesktop.appearance color-scheme) where one runs, and otherwise
// judges the platform theme's palette. GNOME's high-contrast setting wins
// over both: then the desktop's palette is left alone.
#include "ui/Skin.h"

#include <optional>

class QPalette;

namespace ColorScheme {

// What the desktop says; an empty field is a question nobody answered.
struct Desktop {
    // The portal's color-scheme: 0 no preference, 1 dark, 2 light.
    std::optional<unsigned> portalScheme;
    // org.gnome.desktop.a11y.interface high-contrast.
    std::optional<bool> highContrast;
    // The platform theme's palette is dark (its text lighter than its ground).
    bool platformPaletteDark = false;
};

// The variant for what the desktop says.
Skin::Variant choose(const Desktop& desktop);

// True when the palette's text is lighter than its window.
bool isDarkPalette(const QPalette& palette);

// Asks the session bus's portal (without starting one) and, on GNOME,
// GSettings. VELLUM_COLOR_SCHEME=light|dark|high-contrast overrides all.
Desktop read(const QPalette& platformPalette);

// read() then choose().
Skin::Variant detect(const QPalette& platformPalette);

} // namespace ColorScheme
