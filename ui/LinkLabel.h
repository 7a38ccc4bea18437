#pragma once
// A label that opens an address: blue under the cursor, red while pressed,
// and a click (press and release on it) opens the address with the desktop's
// default action.
#include <QLabel>
#include <QUrl>

class LinkLabel : public QLabel {
    Q_OBJECT
  public:
    enum class State { Normal, Hovered, Pressed };

    LinkLabel(const QString& text, const QUrl& address, QWidget* parent = nullptr);

    QUrl address() const { return m_address; }
    State state() const { return m_state; }

  signals:
    void opened(const QUrl& address);

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void setState(State state);
    QUrl m_address;
    State m_state = State::Normal;
};
