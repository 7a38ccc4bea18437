#pragma once
// The exception that lower layers raise; the main window shows its message in
// the standard error box and abandons the action.
#include <QString>
#include <stdexcept>

class VellumError : public std::runtime_error {
  public:
    explicit VellumError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

  private:
    QString m_message;
};
