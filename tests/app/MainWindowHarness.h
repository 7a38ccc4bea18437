#pragma once
// A main window in its own temporary program folder, driven through the
// object names of its controls.
#include "app/TFrmMain.h"
#include "platform/AnsiCodePage.h"
#include "store/TDateMan.h"
#include "tests/support/ModalAnswer.h"
#include "tests/support/TestEnv.h"

#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>
#include <memory>

class MainWindowHarness : public ::testing::Test {
  protected:
    TestEnv env;
    std::unique_ptr<TFrmMain> win;

    // tab names: an empty name hides the tab.
    void writeConfig(const QStringList& names, const QByteArray& common = {}) {
        QByteArray ini = "[TabClass]\r\n";
        for (int i = 0; i < names.size(); ++i)
            if (!names[i].isEmpty())
                ini += "tab" + QByteArray::number(i) + "=" + AnsiCodePage::fromUnicode(names[i]) +
                       "\r\n";
        ini += "[Common]\r\n" + common;
        env.writeFile("config.ini", ini);
    }
    void start() {
        win = std::make_unique<TFrmMain>();
        win->createDialogs();
    }
    // Shows the window and makes it the active one, as a user's click would.
    bool showActive() {
        win->show();
        QApplication::setActiveWindow(win.get());
        return QTest::qWaitForWindowActive(win.get());
    }
    template <class T> T* child(const char* name) {
        T* w = win->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit* title() { return child<QLineEdit>("edtTitle"); }
    QPlainTextEdit* memo() { return child<QPlainTextEdit>("meoContent"); }
    QListView* list(int k) {
        return child<QListView>(QByteArray("lbx" + QByteArray::number(k)).constData());
    }
    void click(const char* button) { child<QToolButton>(button)->click(); }
    // Selects a row as the user does.
    void userSelect(int k, int row) {
        QListView* l = list(k);
        l->selectionModel()->setCurrentIndex(l->model()->index(row, 0),
                                             QItemSelectionModel::ClearAndSelect);
    }
    int rows(int k) { return list(k)->model()->rowCount(); }
    QString rowText(int k, int row) { return list(k)->model()->index(row, 0).data().toString(); }
    int selected(int k) { return win->selectedRow(k); }
};
