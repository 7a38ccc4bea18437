#pragma once
// What the main window does with its two forms, wide and narrow, without
// touching a window: which form the switch gives, when the narrow window
// slides up out of view and comes back, where a dragged window snaps to, and
// which form is remembered in WinState. The window asks, then acts.
//
// Widths are client widths: the wide form is the designed 492 pixels, the
// narrow form 155. Rectangles are screen rectangles; "the screen" is the one
// the window is on, so a window is never held on the primary one.
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

namespace DockingDecisions {

inline constexpr int kWideWidth = 492;
inline constexpr int kNarrowWidth = 155;
// The switch treats the window as wide from this width on.
inline constexpr int kWideThreshold = 158;
// A narrow window whose top lies this close to the screen's top slides up.
inline constexpr int kTopBand = 2;
// What stays on screen of a slid-up window.
inline constexpr int kVisibleStrip = 6;
// The part of the caption, from the window's left edge, that drags with snapping.
inline constexpr int kCaptionBand = 90;
inline constexpr int kSnapDistance = 15;
inline constexpr int kAutoHideIntervalMs = 1000;

struct DockSwitch {
    int width;
    bool timerOn;
    bool dockingOn;
};

// The switch BitBtn1. A wide window becomes narrow and, with auto-hide on,
// starts the timer and the docking component; with auto-hide off they stay
// as they are. A narrow one becomes wide with both off.
DockSwitch toggle(int width, bool autoHide, bool timerOn, bool dockingOn);

// The toolbar shows on a window wider than the narrow form.
bool toolbarVisible(int width);
// The caption carries the program title from 156 pixels on, else nothing.
bool captionShowsTitle(int width);

// Whether the cursor lies strictly inside the window: one that could not be
// read, or one on the border line, is outside.
bool cursorInside(const QRect& window, std::optional<QPoint> cursor);
// The auto-hide tick: the new top of a window that slides up, or nothing.
// A cursor that could not be read counts as outside; one on the border line
// counts as outside too.
std::optional<int> slideUpTop(const QRect& window, std::optional<QPoint> cursor,
                              const QRect& screen);
// Whether a window at this top is slid up (only its strip on screen).
bool isSlidUp(const QRect& window, const QRect& screen);
// The cursor over the strip of a slid-up window: the top it comes back to.
std::optional<int> revealTop(const QRect& window, const QRect& screen);

// Where a window with this frame lies wholly on a screen: on the screen it
// overlaps most (a docked or slid-up window comes down at that screen's top
// edge), or on the first screen (the primary) when it overlaps none, as a
// place remembered on a monitor that is gone. A window larger than its screen
// keeps its top-left corner on it. Unchanged when it is wholly on a screen.
QPoint placeOnScreen(const QRect& frame, const QList<QRect>& screens);

// A press on the caption at screen x: true when it goes to the docking
// component (a drag with snapping), false for an ordinary move.
bool captionPressSnaps(int width, bool autoHide, int pressX, int windowLeft);

// The panels of a screen (task bars, docks): the strips between its whole
// area and its available area, top, bottom, left and right.
QList<QRect> panelStrips(const QRect& screen, const QRect& available);
// Where a window of this size, dragged to proposed, comes to rest: first
// against each panel, then against the screen's edges, so it never ends up
// partly off the screen.
QPoint snap(QPoint proposed, QSize size, const QRect& screen, const QList<QRect>& panels,
            int distance = kSnapDistance);

// WinState at close: 1 for the narrow form. A window that was never shown
// keeps the form it would have come up in.
int winStateAtClose(bool everShown, int width, int storedWinState);
// Whether a window first shown with this stored WinState comes up narrow.
bool startsNarrow(int storedWinState);

} // namespace DockingDecisions
