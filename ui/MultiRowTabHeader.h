#pragma once
// Tabs that wrap onto several rows above a QTabWidget whose own bar is
// hidden, so six category names fit a narrow page control. To the keyboard
// and to a screen reader they are one tab list: one Tab stop (the current
// tab), the arrow keys move along it, and Ctrl+Tab / Ctrl+PgDn (with Shift,
// or Ctrl+PgUp, backwards) switch tabs from anywhere in the window. The list
// of each page is named after its tab and says the tab's hint.
#include <QList>
#include <QWidget>

class QTabWidget;
class QToolButton;

class MultiRowTabHeader : public QWidget {
    Q_OBJECT
  public:
    explicit MultiRowTabHeader(QTabWidget* tabs, QWidget* parent = nullptr);
    // Takes the texts, hints, visibility and the current tab from the tabs.
    void sync();

    // Makes the next (step 1) or previous (step -1) visible tab current.
    void step(int step);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void relayout();
    QTabWidget* m_tabs;
    QList<QToolButton*> m_buttons;
};
