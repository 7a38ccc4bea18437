#include "ui/DockingDecisions.h"

#include <gtest/gtest.h>

namespace D = DockingDecisions;

TEST(DockingDecisions, SwitchGivesTheOtherFormAndStartsAutoHideOnlyWhenItIsOn) {
    const struct {
        const char* name;
        int width;
        bool autoHide, timerOn, dockingOn;
        D::DockSwitch expected;
    } cases[] = {
        {"wide, auto-hide on", 492, true, false, false, {155, true, true}},
        {"wide, auto-hide off", 492, false, false, false, {155, false, false}},
        {"wide, auto-hide off leaves a running timer", 492, false, true, true, {155, true, true}},
        {"threshold 158 counts as wide", 158, true, false, false, {155, true, true}},
        {"157 counts as narrow", 157, true, true, true, {492, false, false}},
        {"narrow, auto-hide on", 155, true, true, true, {492, false, false}},
        {"narrow, auto-hide off", 155, false, false, false, {492, false, false}},
    };
    for (const auto& c : cases) {
        const D::DockSwitch got = D::toggle(c.width, c.autoHide, c.timerOn, c.dockingOn);
        EXPECT_EQ(got.width, c.expected.width) << c.name;
        EXPECT_EQ(got.timerOn, c.expected.timerOn) << c.name;
        EXPECT_EQ(got.dockingOn, c.expected.dockingOn) << c.name;
    }
}

TEST(DockingDecisions, ToolbarAndTitleShowOnlyAboveTheNarrowWidth) {
    const struct {
        int width;
        bool toolbar, title;
    } cases[] = {{154, false, false},
                 {155, false, false},
                 {156, true, true},
                 {158, true, true},
                 {492, true, true}};
    for (const auto& c : cases) {
        EXPECT_EQ(D::toolbarVisible(c.width), c.toolbar) << c.width;
        EXPECT_EQ(D::captionShowsTitle(c.width), c.title) << c.width;
    }
}

TEST(DockingDecisions, NarrowWindowAtTheTopEdgeSlidesUpOnceTheCursorLeftIt) {
    const QRect screen(0, 0, 1280, 1024);
    const QRect second(1280, 100, 1024, 768); // a monitor to the right, lower
    const int h = 379;
    const std::optional<QPoint> away = QPoint(800, 600);
    const struct {
        const char* name;
        QRect window;
        std::optional<QPoint> cursor;
        QRect screen;
        std::optional<int> expected;
    } cases[] = {
        {"top 0, cursor away", {100, 0, 155, h}, away, screen, 6 - h},
        {"top 2, cursor away", {100, 2, 155, h}, away, screen, 6 - h},
        {"top 3 never slides", {100, 3, 155, h}, away, screen, std::nullopt},
        {"top -1 is above the band", {100, -1, 155, h}, away, screen, std::nullopt},
        {"cursor inside", {100, 0, 155, h}, QPoint(150, 100), screen, std::nullopt},
        {"cursor on the left border", {100, 0, 155, h}, QPoint(100, 100), screen, 6 - h},
        {"cursor on the top border", {100, 0, 155, h}, QPoint(150, 0), screen, 6 - h},
        {"cursor on the last column", {100, 0, 155, h}, QPoint(254, 100), screen, std::nullopt},
        {"cursor one past the right", {100, 0, 155, h}, QPoint(255, 100), screen, 6 - h},
        {"cursor unreadable", {100, 0, 155, h}, std::nullopt, screen, 6 - h},
        {"second screen's top edge", {1300, 101, 155, h}, away, second, 106 - h},
        {"second screen, at the primary's top", {1300, 0, 155, h}, away, second, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(D::slideUpTop(c.window, c.cursor, c.screen), c.expected) << c.name;
}

TEST(DockingDecisions, CursorOnTheStripBringsASlidUpWindowBackToTheTop) {
    const QRect screen(0, 0, 1280, 1024);
    const int h = 379;
    const struct {
        int top;
        std::optional<int> expected;
    } cases[] = {
        {6 - h, 0}, {6 - h - 10, 0}, {7 - h, std::nullopt}, {0, std::nullopt}, {300, std::nullopt}};
    for (const auto& c : cases)
        EXPECT_EQ(D::revealTop(QRect(10, c.top, 155, h), screen), c.expected) << c.top;
    EXPECT_EQ(D::revealTop(QRect(1300, 106 - h, 155, h), QRect(1280, 100, 800, 600)), 100);
}

TEST(DockingDecisions, LeftNinetyPixelsOfTheNarrowCaptionDragWithSnapping) {
    const struct {
        const char* name;
        int width;
        bool autoHide;
        int pressX;
        bool snaps;
    } cases[] = {
        {"narrow, auto-hide, x 0", 155, true, 500, true},
        {"narrow, auto-hide, x 89", 155, true, 589, true},
        {"narrow, auto-hide, x 90", 155, true, 590, false},
        {"narrow, auto-hide off", 155, false, 510, false},
        {"wide, auto-hide on", 492, true, 510, false},
        {"491 still counts as narrow here", 491, true, 510, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(D::captionPressSnaps(c.width, c.autoHide, c.pressX, 500), c.snaps) << c.name;
}

TEST(DockingDecisions, PanelsAreTheStripsOutsideTheAvailableArea) {
    const QRect screen(0, 0, 1280, 1024);
    EXPECT_TRUE(D::panelStrips(screen, screen).isEmpty());
    EXPECT_EQ(D::panelStrips(screen, QRect(0, 0, 1280, 984)),
              QList<QRect>{QRect(0, 984, 1280, 40)});
    EXPECT_EQ(D::panelStrips(screen, QRect(0, 27, 1280, 997)), QList<QRect>{QRect(0, 0, 1280, 27)});
    EXPECT_EQ(D::panelStrips(screen, QRect(64, 27, 1216, 997)),
              (QList<QRect>{QRect(0, 0, 1280, 27), QRect(0, 0, 64, 1024)}));
    EXPECT_EQ(D::panelStrips(QRect(1280, 0, 800, 600), QRect(1280, 0, 760, 600)),
              QList<QRect>{QRect(2040, 0, 40, 600)});
    // An available area that is not inside the screen names no panel.
    EXPECT_TRUE(D::panelStrips(screen, QRect(-5, 0, 100, 100)).isEmpty());
}

TEST(DockingDecisions, DraggedWindowSnapsToPanelsAndScreenEdges) {
    const QRect screen(0, 0, 1280, 1024);
    const QList<QRect> none;
    const QList<QRect> bottomBar{QRect(0, 984, 1280, 40)};
    const QList<QRect> topBar{QRect(0, 0, 1280, 27)};
    const QSize size(155, 379);
    const struct {
        const char* name;
        QPoint proposed;
        QList<QRect> panels;
        QRect screen;
        QPoint expected;
    } cases[] = {
        {"10 beyond the left edge", {-10, 300}, none, screen, {0, 300}},
        {"14 from the left edge", {14, 300}, none, screen, {0, 300}},
        {"15 from the left edge stays", {15, 300}, none, screen, {15, 300}},
        {"10 from the top", {400, 10}, none, screen, {400, 0}},
        {"beyond the right edge", {1200, 300}, none, screen, {1125, 300}},
        {"15 from the right edge stays", {1110, 300}, none, screen, {1110, 300}},
        {"14 from the right edge", {1111, 300}, none, screen, {1125, 300}},
        {"beyond the bottom", {400, 900}, none, screen, {400, 645}},
        {"free in the middle", {400, 300}, none, screen, {400, 300}},
        {"onto a bottom panel", {400, 600}, bottomBar, screen, {400, 605}},
        {"14 above a bottom panel", {400, 591}, bottomBar, screen, {400, 605}},
        {"15 above a bottom panel stays", {400, 590}, bottomBar, screen, {400, 590}},
        {"under a top panel", {400, 35}, topBar, screen, {400, 27}},
        {"above a top panel's bottom", {400, 20}, topBar, screen, {400, 27}},
        {"second screen's left edge", {1285, 200}, none, QRect(1280, 0, 800, 600), {1280, 200}},
        {"second screen's bottom", {1500, 400}, none, QRect(1280, 0, 800, 600), {1500, 221}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(D::snap(c.proposed, size, c.screen, c.panels), c.expected) << c.name;
}

TEST(DockingDecisions, WinStateRemembersTheChosenFormEvenForANeverShownWindow) {
    const struct {
        const char* name;
        bool shown;
        int width, stored, expected;
    } cases[] = {
        {"shown narrow", true, 155, 0, 1},
        {"shown wide", true, 492, 1, 0},
        {"never shown, stored narrow", false, 492, 1, 1},
        {"never shown, stored wide", false, 492, 0, 0},
        {"never shown, stored nonsense", false, 492, 7, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(D::winStateAtClose(c.shown, c.width, c.stored), c.expected) << c.name;
    EXPECT_TRUE(D::startsNarrow(1));
    EXPECT_FALSE(D::startsNarrow(0));
    EXPECT_FALSE(D::startsNarrow(2));
}

TEST(DockingDecisions, AWindowComesBackWhollyOnTheScreenItWasOn) {
    const QRect primary(0, 0, 1280, 1024);
    const QRect right(1280, 100, 1024, 768);
    const QList<QRect> both{primary, right};
    const int h = 379;
    const struct {
        const char* name;
        QRect frame;
        QList<QRect> screens;
        QPoint expected;
    } cases[] = {
        {"wholly on screen stays", {460, 200, 155, h}, both, {460, 200}},
        {"slid up by the program", {460, 6 - h, 155, h}, both, {460, 0}},
        {"held by a window manager", {460, -341, 155, h}, both, {460, 0}},
        {"slid up on the right screen", {1500, 106 - h, 155, h}, both, {1500, 100}},
        {"past the right screen's bottom", {1500, 800, 155, h}, both, {1500, 489}},
        {"mostly on the right screen", {1210, 300, 155, h}, both, {1280, 300}},
        {"its monitor is gone", {1500, 300, 155, h}, {primary}, {1125, 300}},
        {"far off every screen", {-4000, -4000, 492, h}, both, {0, 0}},
        {"larger than its screen", {100, 100, 1400, 1100}, {primary}, {0, 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(D::placeOnScreen(c.frame, c.screens), c.expected) << c.name;
}
