#pragma once
// Tabs that wrap onto several rows above a QTabWidget whose own bar is
// hidden, so six category names fit a narrow page control.
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

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void relayout();
    QTabWidget* m_tabs;
    QList<QToolButton*> m_buttons;
};
