#pragma once
// One HTTP exchange with libcurl on the calling worker thread. Only http and
// https are spoken, https with the system's certificate checks. The answer's
// body is handed to a sink as it arrives and never collected; an answer that is
// not 2xx ends the exchange as soon as its head is in, so an error page cannot
// hold it. A stall longer than the read timeout, a connect that takes too
// long, a transfer slower than the minimum speed for too long, the overall
// deadline or AbortAll() ends the exchange; nothing here ever blocks the
// user-interface thread. Redirects are followed here, never from https to http.
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <functional>

namespace Http {

struct Request {
    QString address;     // as the user wrote it; blanks and non-ASCII get encoded
    bool post = false;   // POST with body, otherwise GET
    QByteArray body;     // form body of a POST
    bool http10 = false; // HTTP/1.0 instead of 1.1
    int readTimeoutMs = 5000;
    int connectTimeoutMs = 10000;
    int overallTimeoutMs = 0; // the whole exchange, redirects included; 0: none
    // Slower than lowSpeedBytes a second for lowSpeedSeconds fails with Timeout.
    long lowSpeedBytes = 0;
    long lowSpeedSeconds = 0;
    int maxRedirects = 0; // 0: a redirect is the answer
    qint64 maxBytes = -1; // a longer body fails with TooLarge
    // Receives the body of a 2xx answer as it arrives; false stops the
    // exchange with WriteFailed. Without a sink the body is dropped.
    std::function<bool(const char* data, std::size_t size)> sink;
};

enum class Error {
    None,
    InvalidAddress,
    Resolve,
    Refused,
    Connect,
    Timeout,
    Certificate,
    Tls,
    TooLarge,
    WriteFailed,
    Cancelled,
    InsecureRedirect, // from https to plain http
    Network,
};

struct Result {
    Error error = Error::None;
    long status = 0; // the last HTTP status seen; 0 when none came
};

Result Perform(const Request& request);

// The address as sent on the wire: blanks and other characters an address
// may not hold are percent-encoded, a non-ASCII host is written in its ASCII
// form. Empty when the address is not an absolute http or https address.
QByteArray EncodeAddress(const QString& address);

// A few words for the user, such as "连接被拒绝" or "HTTP 500".
QString Describe(const Result& result);

// Certificate authority file for https; empty means the system's. Tests
// point it at an authority they made.
void SetCaBundle(const QByteArray& path);

// Ends every running exchange at once (as Cancelled) and refuses new ones;
// then waits up to timeoutMs for the workers to leave Perform. True when
// none is left. For the end of the program.
bool AbortAll(int timeoutMs);
// Allows exchanges again after AbortAll (tests that start a new window).
void ResetAbort();

// Held by a worker for its whole run, so that AbortAll also waits for the
// work it does after its exchange (removing a failed file).
class ActiveWorker {
  public:
    ActiveWorker();
    ~ActiveWorker();
    ActiveWorker(const ActiveWorker&) = delete;
    ActiveWorker& operator=(const ActiveWorker&) = delete;
};
bool Aborted();

} // namespace Http
