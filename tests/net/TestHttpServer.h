#pragma once
// A small HTTP(S) server on 127.0.0.1 and a port the system picks, running on
// threads of its own, for tests of the program's HTTP client. Every request
// is recorded as it came; the handler decides each answer. With certificate
// files it speaks TLS (OpenSSL).
#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

struct HttpExchange {
    QByteArray requestLine; // "POST /path HTTP/1.0"
    QByteArray method;
    QByteArray path;
    QByteArray version;
    QList<QByteArray> headerLines; // as sent, without CR LF
    QByteArray body;

    // The value of a header (case-insensitive name), or a null array.
    QByteArray header(const QByteArray& name) const;
    // The header names in the order sent, lower-cased.
    QList<QByteArray> headerNames() const;
};

struct HttpReply {
    int status = 200;
    QByteArray body;
    QList<QByteArray> headers; // extra lines such as "Location: /b.gif"
    bool stall = false;        // answer nothing until the server stops
    bool sendLength = true;    // false: the body ends with the connection
    int delayMs = 0;           // wait this long before answering
    bool endless = false;      // send the body again and again until the client goes
    int trickleMs = 0;         // send the body a byte at a time, this far apart
};

// Certificate authority and a server certificate for 127.0.0.1, made with
// the openssl command in the given folder.
struct TestCertificates {
    QString caFile;
    QString certFile;
    QString keyFile;
    // The authority's own certificate, which signed nothing here (for a
    // client that trusts the wrong authority).
    QString otherCaFile;
    static bool make(const QString& folder, TestCertificates* out, QString* error);
};

class TestHttpServer {
  public:
    using Handler = std::function<HttpReply(const HttpExchange&)>;

    explicit TestHttpServer(Handler handler, const TestCertificates* tls = nullptr);
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    int port() const { return m_port; }
    // "http://127.0.0.1:<port>" + path (https with certificates).
    QString url(const QString& path) const;
    QList<HttpExchange> exchanges() const;
    int requestCount() const;
    // True when at least n requests arrived within timeoutMs.
    bool waitForRequests(int n, int timeoutMs) const;

  private:
    void acceptLoop();
    void serve(int fd);

    Handler m_handler;
    void* m_sslContext = nullptr;
    int m_listenFd = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    QList<HttpExchange> m_exchanges;
    std::vector<std::thread> m_connections;
    std::thread m_acceptThread;
};
