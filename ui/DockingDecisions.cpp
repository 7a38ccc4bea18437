#include "ui/DockingDecisions.h"

#include <algorithm>
#include <cstdlib>

namespace DockingDecisions {

namespace {
// Right and bottom edges as the platform counts them: one past the last pixel.
int rightOf(const QRect& r) {
    return r.x() + r.width();
}
int bottomOf(const QRect& r) {
    return r.y() + r.height();
}
} // namespace

DockSwitch toggle(int width, bool autoHide, bool timerOn, bool dockingOn) {
    if (width >= kWideThreshold) {
        if (autoHide)
            return {kNarrowWidth, true, true};
        return {kNarrowWidth, timerOn, dockingOn};
    }
    return {kWideWidth, false, false};
}

bool toolbarVisible(int width) {
    return width > kNarrowWidth;
}

bool captionShowsTitle(int width) {
    return width >= kNarrowWidth + 1;
}

bool cursorInside(const QRect& window, std::optional<QPoint> cursor) {
    return cursor && window.x() < cursor->x() && cursor->x() < rightOf(window) &&
           window.y() < cursor->y() && cursor->y() < bottomOf(window);
}

std::optional<int> slideUpTop(const QRect& window, std::optional<QPoint> cursor,
                              const QRect& screen) {
    if (cursorInside(window, cursor))
        return std::nullopt;
    const int top = window.y() - screen.y();
    if (top < 0 || top > kTopBand)
        return std::nullopt;
    return screen.y() + kVisibleStrip - window.height();
}

bool isSlidUp(const QRect& window, const QRect& screen) {
    return window.y() <= screen.y() + kVisibleStrip - window.height();
}

std::optional<int> revealTop(const QRect& window, const QRect& screen) {
    if (!isSlidUp(window, screen))
        return std::nullopt;
    return screen.y();
}

QPoint placeOnScreen(const QRect& frame, const QList<QRect>& screens) {
    if (screens.isEmpty())
        return frame.topLeft();
    QRect best = screens.constFirst();
    qint64 bestArea = 0;
    for (const QRect& screen : screens) {
        const QRect overlap = screen.intersected(frame);
        const qint64 area = qint64(overlap.width()) * overlap.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    const int x = std::max(best.x(), std::min(frame.x(), rightOf(best) - frame.width()));
    const int y = std::max(best.y(), std::min(frame.y(), bottomOf(best) - frame.height()));
    return {x, y};
}

bool captionPressSnaps(int width, bool autoHide, int pressX, int windowLeft) {
    return width < kWideWidth && autoHide && pressX < windowLeft + kCaptionBand;
}

QList<QRect> panelStrips(const QRect& screen, const QRect& available) {
    QList<QRect> strips;
    if (available.isEmpty() || !screen.contains(available))
        return strips;
    const int left = screen.x(), top = screen.y();
    const int right = rightOf(screen), bottom = bottomOf(screen);
    if (available.y() > top)
        strips << QRect(left, top, screen.width(), available.y() - top);
    if (bottomOf(available) < bottom)
        strips << QRect(left, bottomOf(available), screen.width(), bottom - bottomOf(available));
    if (available.x() > left)
        strips << QRect(left, top, available.x() - left, screen.height());
    if (rightOf(available) < right)
        strips << QRect(rightOf(available), top, right - rightOf(available), screen.height());
    return strips;
}

QPoint snap(QPoint proposed, QSize size, const QRect& screen, const QList<QRect>& panels,
            int distance) {
    int x = proposed.x(), y = proposed.y();
    const int w = size.width(), h = size.height();
    for (const QRect& bar : panels) {
        if (std::abs(bottomOf(bar) - y) < distance)
            y = bottomOf(bar);
        else if (std::abs(y + h - bar.y()) < distance)
            y = bar.y() - h;
        if (std::abs(rightOf(bar) - x) < distance)
            x = rightOf(bar);
        else if (std::abs(x + w - bar.x()) < distance)
            x = bar.x() - w;
    }
    if (x < screen.x() + distance)
        x = screen.x();
    if (x > rightOf(screen) - w - distance)
        x = rightOf(screen) - w;
    if (y < screen.y() + distance)
        y = screen.y();
    if (y > bottomOf(screen) - h - distance)
        y = bottomOf(screen) - h;
    return {x, y};
}

int winStateAtClose(bool everShown, int width, int storedWinState) {
    if (!everShown)
        return startsNarrow(storedWinState) ? 1 : 0;
    return width == kNarrowWidth ? 1 : 0;
}

bool startsNarrow(int storedWinState) {
    return storedWinState == 1;
}

} // namespace DockingDecisions
