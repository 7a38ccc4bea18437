#pragma once
// The application's standard error box. The main window installs the box; a
// lower layer that catches an error from an action it abandons reports it here.
#include <QString>

#include <exception>
#include <functional>

namespace ErrorReporter {
using Handler = std::function<void(const QString& message)>;
void setHandler(Handler handler);
// Shows the message of e (VellumError or any std::exception).
void report(const std::exception& e);
void report(const QString& message);
} // namespace ErrorReporter
