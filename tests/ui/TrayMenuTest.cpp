#include "ui/TrayMenu.h"

#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QStyle>
#include <gtest/gtest.h>

TEST(TrayMenu, ItemsComeInTheirOrderWithTheirCaptionsAndNames) {
    TrayMenu menu;
    EXPECT_EQ(menu.objectName(), "PopupMenu");
    QStringList names, captions;
    for (QAction* a : menu.actions()) {
        names << a->objectName();
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    EXPECT_EQ(names, (QStringList{"N1", "IE1", "N5", "N4", "N6", "N10", "N7", "N2", "N8", "N3"}));
    EXPECT_EQ(captions, (QStringList{"显示主界面", "Vellum浏览器扩展", "-", "参数设置", "-",
                                     "官方论坛", "在线帮助", "关 于...", "-", "退 出"}));
}

TEST(TrayMenu, EachItemAsksForItsOwnAction) {
    TrayMenu menu;
    const struct {
        const char* item;
        void (TrayMenu::*signal)();
    } cases[] = {{"N1", &TrayMenu::showMainWindowRequested},
                 {"IE1", &TrayMenu::browserEditionRequested},
                 {"N4", &TrayMenu::settingsRequested},
                 {"N10", &TrayMenu::forumRequested},
                 {"N7", &TrayMenu::helpRequested},
                 {"N2", &TrayMenu::aboutRequested},
                 {"N3", &TrayMenu::exitRequested}};
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (const auto& c : cases)
        spies.push_back(std::make_unique<QSignalSpy>(&menu, c.signal));
    for (size_t i = 0; i < std::size(cases); ++i) {
        auto* action = menu.findChild<QAction*>(QString::fromLatin1(cases[i].item));
        ASSERT_NE(action, nullptr) << cases[i].item;
        action->trigger();
        for (size_t j = 0; j < spies.size(); ++j)
            EXPECT_EQ(spies[j]->count(), j <= i ? 1 : 0) << cases[i].item << " / " << j;
    }
}

namespace {
QColor at(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}
int whitePixels(const QImage& image, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y).lightness() > 200)
                ++n;
    return n;
}
} // namespace

TEST(TrayMenu, BannerFadesFromLightToDeepBlueWithTheTitleRunningDown) {
    const int width = TrayMenu::kBannerWidth;
    QImage image(width, 260, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        TrayMenu::paintBanner(painter, width, image.height(), 20);
    }
    const struct {
        int row;
        QColor colour;
    } rows[] = {{0, QColor(102, 102, 205)}, {1, QColor(101, 101, 205)}, {51, QColor(51, 51, 205)},
                {102, QColor(0, 0, 205)},   {103, QColor(0, 0, 205)},   {205, QColor(0, 0, 205)}};
    for (const auto& r : rows)
        for (int x : {0, width - 1})
            EXPECT_EQ(at(image, x, r.row), r.colour) << "row " << r.row << " x " << x;
    // The title starts 78 pixels below the first item and stays left of x 19.
    EXPECT_EQ(whitePixels(image, QRect(0, 0, width, 98)), 0);
    EXPECT_GT(whitePixels(image, QRect(0, 98, 19, 60)), 20);
    EXPECT_EQ(whitePixels(image, QRect(20, 0, width - 20, image.height())), 0);
}

TEST(TrayMenu, ShownMenuDrawsTheBannerBesideTheItems) {
    TrayMenu menu;
    menu.ensurePolished();
    menu.resize(menu.sizeHint());
    const QImage image = menu.grab().toImage();
    ASSERT_FALSE(image.isNull());
    const int frame = menu.style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, &menu);
    EXPECT_EQ(at(image, frame, frame), QColor(102, 102, 205));
    EXPECT_EQ(at(image, frame + TrayMenu::kBannerWidth - 1, frame + 51), QColor(51, 51, 205));
    EXPECT_EQ(at(image, frame + 2, frame + 150), QColor(0, 0, 205));
    EXPECT_EQ(at(image, frame + 2, menu.height() - frame - 1), QColor(0, 0, 205));
    for (QAction* a : menu.actions())
        EXPECT_GE(menu.actionGeometry(a).left(), frame + TrayMenu::kBannerWidth)
            << a->objectName().toStdString();
    // Right of the banner the menu keeps its own background.
    EXPECT_NE(at(image, frame + TrayMenu::kBannerWidth + 1, frame + 150), QColor(0, 0, 205));
}
