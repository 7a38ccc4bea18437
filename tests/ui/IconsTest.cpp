#include "ui/Icons.h"
#include "ui/Skin.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QSet>
#include <QStyle>
#include <gtest/gtest.h>

namespace {
// Share of pixels that are not fully transparent.
double coverage(const QImage& image) {
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                ++opaque;
    return double(opaque) / (image.width() * image.height());
}
} // namespace

TEST(Icons, EveryNameRendersFromTheLinkedResources) {
    const QStringList names = Icons::names();
    ASSERT_EQ(names.size(), 16);
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), names.size());

    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        Icons::init();
        EXPECT_TRUE(QFile::exists(Icons::resourcePath(name)));
        const QIcon icon = Icons::get(name);
        ASSERT_FALSE(icon.isNull());
        for (const int size : {16, 24, 48, 256}) {
            const QImage image = icon.pixmap(size, size).toImage();
            ASSERT_EQ(image.size(), QSize(size, size)) << size;
            // Something is drawn, and it is not a filled square.
            const double c = coverage(image);
            EXPECT_GT(c, 0.15) << size;
            EXPECT_LT(c, 1.0) << size;
        }
        // The disabled form is drawn, and differs from the normal one.
        const QImage normal = icon.pixmap(24, 24).toImage();
        const QImage disabled = icon.pixmap(QSize(24, 24), QIcon::Disabled).toImage();
        EXPECT_FALSE(disabled.isNull());
        EXPECT_NE(normal, disabled);
    }
}

TEST(Icons, UnknownNamesGiveNullIcons) {
    for (const QString& name : {QString(), QStringLiteral("no-such-icon"),
                                QStringLiteral("../icons/save"), QStringLiteral("save.svg")}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(Icons::get(name).isNull());
    }
}

TEST(Skin, AppliesFusionPaletteAndProgramIcon) {
    Skin::apply(*qApp);
    EXPECT_EQ(qApp->styleSheet(), Skin::styleSheet());
    // Under a style sheet the style is a wrapper; without it, Fusion shows.
    qApp->setStyleSheet(QString());
    EXPECT_EQ(QApplication::style()->name().toLower(), QStringLiteral("fusion"));
    EXPECT_EQ(QApplication::palette().color(QPalette::Highlight), Skin::accent());
    // Selected text stays readable on the accent colour.
    const QPalette p = Skin::palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        const QColor bg = p.color(group, QPalette::Highlight);
        const QColor fg = p.color(group, QPalette::HighlightedText);
        EXPECT_GT(qAbs(qGray(bg.rgb()) - qGray(fg.rgb())), 60);
    }
    EXPECT_FALSE(QApplication::windowIcon().isNull());
    EXPECT_FALSE(QApplication::windowIcon().pixmap(48, 48).isNull());
}
