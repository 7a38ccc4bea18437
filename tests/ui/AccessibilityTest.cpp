// The naming pass and the category tabs' role and keys, on real widgets; the
// windows themselves are walked over the real bus by tests/a11y.
#include "ui/Accessibility.h"
#include "ui/MultiRowTabHeader.h"

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {
QString accessibleName(QWidget* w) {
    return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
}
} // namespace

TEST(Accessibility, EveryControlGetsANameFromWhatTheUserSees) {
    Accessibility::install();
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    const auto add = [&](auto* w) {
        layout->addWidget(w);
        return w;
    };
    auto* icon = add(new QToolButton);
    icon->setToolTip(QStringLiteral("新建帖子"));
    auto* glyph = add(new QToolButton);
    glyph->setText(QStringLiteral("×"));
    glyph->setToolTip(QStringLiteral("关闭"));
    auto* captioned = add(new QToolButton);
    captioned->setText(QStringLiteral("远程提交"));
    captioned->setToolTip(QStringLiteral("发贴到我的论坛"));
    auto* label = add(new QLabel(QStringLiteral("标题：")));
    auto* buddied = add(new QLineEdit);
    label->setBuddy(buddied);
    auto* hinted = add(new QLineEdit);
    hinted->setToolTip(QStringLiteral("链接标签"));
    auto* placeholder = add(new QLineEdit);
    placeholder->setPlaceholderText(QStringLiteral("图片地址"));
    auto* group = add(new QGroupBox(QStringLiteral("回复内容")));
    auto* memo = new QPlainTextEdit(group);
    (new QVBoxLayout(group))->addWidget(memo);
    auto* named = add(new QListWidget);
    named->setAccessibleName(QStringLiteral("图片列表"));

    Accessibility::nameControls(&window);
    const struct {
        QWidget* widget;
        QString name;
    } rows[] = {{icon, QStringLiteral("新建帖子")},      {glyph, QStringLiteral("关闭")},
                {captioned, QStringLiteral("远程提交")}, {buddied, QStringLiteral("标题：")},
                {hinted, QStringLiteral("链接标签")},    {placeholder, QStringLiteral("图片地址")},
                {memo, QStringLiteral("回复内容")},      {named, QStringLiteral("图片列表")}};
    for (const auto& row : rows)
        EXPECT_EQ(accessibleName(row.widget), row.name);
    // The caption keeps the name; the hint says more, as the description.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(captioned)->text(QAccessible::Description),
              QStringLiteral("发贴到我的论坛"));
    // A label that changes later is followed, not frozen.
    label->setText(QStringLiteral("链接描述"));
    EXPECT_EQ(accessibleName(buddied), QStringLiteral("链接描述"));
    // Lists and memos are marked for the focus frame.
    EXPECT_TRUE(memo->property("focusFrame").toBool());
    EXPECT_TRUE(named->property("focusFrame").toBool());
}

TEST(Accessibility, CategoryTabsAreOneTabListForKeysAndScreenReaders) {
    Accessibility::install();
    QWidget window;
    auto* tabs = new QTabWidget(&window);
    for (int i = 0; i < 6; ++i) {
        auto* page = new QWidget;
        (new QVBoxLayout(page))->addWidget(new QListWidget(page));
        tabs->addTab(page, QStringLiteral("分类%1").arg(i));
        tabs->setTabToolTip(i, QStringLiteral("共有%1个帖子").arg(i));
    }
    tabs->setTabVisible(1, false);
    tabs->setTabVisible(3, false);
    auto* header = new MultiRowTabHeader(tabs, &window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(header);
    layout->addWidget(tabs);
    window.show();
    QApplication::setActiveWindow(&window);

    const QList<QToolButton*> buttons = header->findChildren<QToolButton*>();
    QAccessibleInterface* tab = QAccessible::queryAccessibleInterface(buttons[0]);
    EXPECT_EQ(tab->role(), QAccessible::PageTab);
    EXPECT_TRUE(tab->state().selected);

    // Hidden tabs are passed over, both ways, and the ends wrap.
    const struct {
        QKeyCombination keys;
        int expected;
    } steps[] = {{Qt::CTRL | Qt::Key_PageDown, 2}, {Qt::CTRL | Qt::Key_Tab, 4},
                 {Qt::CTRL | Qt::Key_PageDown, 5}, {Qt::CTRL | Qt::Key_PageDown, 0},
                 {Qt::CTRL | Qt::Key_PageUp, 5},   {Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, 4}};
    for (const auto& step : steps) {
        QTest::keyClick(&window, step.keys.key(), step.keys.keyboardModifiers());
        EXPECT_EQ(tabs->currentIndex(), step.expected);
        // Only the current tab is a Tab stop.
        for (int i = 0; i < buttons.size(); ++i)
            EXPECT_EQ(buttons[i]->focusPolicy() == Qt::TabFocus, i == step.expected);
    }
    // On the focused tab the arrows move, and the focus goes along.
    buttons[4]->setFocus();
    QTest::keyClick(buttons[4], Qt::Key_Right);
    EXPECT_EQ(tabs->currentIndex(), 5);
    EXPECT_TRUE(buttons[5]->hasFocus());
}
