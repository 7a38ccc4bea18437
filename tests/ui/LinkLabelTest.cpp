#include "ui/LinkLabel.h"
#include "ui/ShellOpen.h"

#include <QApplication>
#include <QEnterEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {
struct OpenedAddresses {
    QList<QUrl> urls;
    OpenedAddresses() {
        ShellOpen::setHandler([this](const QUrl& u) { urls << u; });
    }
    ~OpenedAddresses() { ShellOpen::setHandler({}); }
};

QColor textColour(const LinkLabel& label) {
    return label.palette().color(QPalette::WindowText);
}
} // namespace

TEST(LinkLabel, TurnsBlueUnderTheCursorRedWhenPressedAndOpensOnClick) {
    OpenedAddresses opened;
    LinkLabel label(QStringLiteral("作者"), QUrl(QStringLiteral("mailto:a@b.example")));
    label.resize(120, 20);
    label.show();
    const QColor normal = textColour(label);
    EXPECT_NE(normal, QColor(Qt::blue));
    EXPECT_NE(normal, QColor(Qt::red));

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&label, &enter);
    EXPECT_EQ(label.state(), LinkLabel::State::Hovered);
    EXPECT_EQ(textColour(label), QColor(Qt::blue));

    QTest::mousePress(&label, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(textColour(label), QColor(Qt::red));
    EXPECT_TRUE(opened.urls.isEmpty());
    QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl(QStringLiteral("mailto:a@b.example"))});
    EXPECT_EQ(textColour(label), QColor(Qt::blue));

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&label, &leave);
    EXPECT_EQ(textColour(label), normal);
}

TEST(LinkLabel, PressThenReleaseElsewhereOpensNothing) {
    OpenedAddresses opened;
    LinkLabel label(QStringLiteral("网站"), QUrl(QStringLiteral("https://site.example/")));
    label.resize(120, 20);
    label.show();
    QTest::mousePress(&label, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(300, 5));
    EXPECT_TRUE(opened.urls.isEmpty());
    EXPECT_EQ(label.state(), LinkLabel::State::Normal);
}
