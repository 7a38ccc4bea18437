#include "platform/AnsiCodePage.h"

#include <QFile>
#include <QMap>
#include <QSet>
#include <gtest/gtest.h>

namespace {
const QString kSourceDir = QStringLiteral(VELLUM_SOURCE_DIR);

QByteArray readSource(const QString& relative) {
    QFile file(kSourceDir + QLatin1Char('/') + relative);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

using Ini = QMap<QString, QMap<QString, QString>>;

Ini parse(const QString& text) {
    Ini ini;
    QString section;
    for (const QString& line : text.split(QStringLiteral("\r\n"))) {
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2);
        } else if (const qsizetype eq = line.indexOf(QLatin1Char('=')); eq > 0) {
            ini[section][line.left(eq)] = line.mid(eq + 1);
        }
    }
    return ini;
}
} // namespace

TEST(DistConfig, IsGb18030WithCrLfAndHoldsTheDefaultTemplates) {
    const QByteArray bytes = readSource(QStringLiteral("dist/config.ini"));
    ASSERT_FALSE(bytes.isEmpty());

    // Code-page text: no byte-order mark, CR LF after every line.
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n"));
    EXPECT_EQ(bytes.count('\r'), bytes.count("\r\n"));
    const QString text = AnsiCodePage::toUnicode(bytes);
    EXPECT_FALSE(text.contains(QChar::ReplacementCharacter));
    EXPECT_EQ(AnsiCodePage::fromUnicode(text), bytes);

    const Ini ini = parse(text);
    const QMap<QString, QString> expected = {
        {QStringLiteral("UBBUrl"), QStringLiteral("[url=$1]$2[/url]")},
        {QStringLiteral("UBBImg"), QStringLiteral("[img]$1[/img]")},
        {QStringLiteral("UBBFlash"), QStringLiteral("[flash=$1,$2]$3[/flash]")},
        {QStringLiteral("UBBRm"), QStringLiteral("[rm=$1,$2]$3[/rm]")},
        {QStringLiteral("UBBMp"), QStringLiteral("[wmv=$1,$2]$3[/wmv]")},
    };
    EXPECT_EQ(ini.value(QStringLiteral("UBBSet")), expected);

    // Six distinct, non-empty category names, in Chinese.
    const QMap<QString, QString> tabs = ini.value(QStringLiteral("TabClass"));
    ASSERT_EQ(tabs.size(), 6);
    QSet<QString> seen;
    for (int n = 0; n < 6; ++n) {
        const QString name = tabs.value(QStringLiteral("tab%1").arg(n));
        EXPECT_FALSE(name.trimmed().isEmpty()) << n;
        EXPECT_GE(name.front().unicode(), 0x4E00) << n;
        seen.insert(name);
    }
    EXPECT_EQ(seen.size(), 6);
    // A captured title starts a new post, not one merged into the old body.
    EXPECT_EQ(ini.value(QStringLiteral("Common")).value(QStringLiteral("ClearContentOnGetTitle")),
              QStringLiteral("1"));
}

TEST(DistDesktopEntry, NamesTheProgramAndItsIcon) {
    const QString entry = QString::fromUtf8(readSource(QStringLiteral("dist/vellum.desktop")));
    const QStringList lines = entry.split(QLatin1Char('\n'));
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.front(), QStringLiteral("[Desktop Entry]"));
    for (const char* key : {"Type=Application", "Name=Vellum", "Exec=vellum", "Icon=vellum"})
        EXPECT_TRUE(lines.contains(QLatin1String(key))) << key;
}
