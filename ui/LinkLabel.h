#pragma once
// A label that opens an address: blue under the cursor, red while pressed,
// and a click (press and release on it) opens the address with the desktop's
// default action. From the keyboard it is a Tab stop of its own, underlined
// while focused, and Enter or Space opens it; a screen reader sees a link.
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
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void setState(State state);
    void open();
    QUrl m_address;
    State m_state = State::Normal;
};
