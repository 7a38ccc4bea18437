#pragma once
// Calls back when the cursor enters or moves over the widgets it watches
// (installed as their event filter).
#include <QEvent>
#include <QObject>

#include <functional>

class HoverWatcher : public QObject {
  public:
    HoverWatcher(QObject* parent, std::function<void()> onHover)
        : QObject(parent), m_onHover(std::move(onHover)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove)
            m_onHover();
        return QObject::eventFilter(watched, event);
    }

  private:
    std::function<void()> m_onHover;
};
