#include "tests/net/TestHttpServer.h"

#include <QDir>
#include <QProcess>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// One accepted connection, plain or TLS.
class Connection {
  public:
    Connection(int fd, SSL_CTX* ctx) : m_fd(fd) {
        if (ctx) {
            m_ssl = SSL_new(ctx);
            SSL_set_fd(m_ssl, fd);
        }
    }
    ~Connection() {
        if (m_ssl) {
            SSL_shutdown(m_ssl);
            SSL_free(m_ssl);
        }
        ::close(m_fd);
    }
    // The socket has a short receive timeout; "again" answers are retried
    // until the server stops.
    bool handshake(const std::atomic<bool>& stop) {
        while (m_ssl && !stop) {
            const int r = SSL_accept(m_ssl);
            if (r == 1)
                return true;
            if (!again(r))
                return false;
        }
        return !stop;
    }
    // Bytes read, 0 at the end, -1 on error, -2 when nothing came yet.
    long read(char* buffer, int size) {
        if (m_ssl) {
            const int n = SSL_read(m_ssl, buffer, size);
            return n > 0 ? n : again(n) ? -2 : (n == 0 ? 0 : -1);
        }
        const long n = ::recv(m_fd, buffer, size, 0);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return -2;
        return n;
    }
    // The socket has a short send timeout too, so that a client that stops
    // reading cannot hold the server when it stops.
    bool write(const QByteArray& data, const std::atomic<bool>& stop) {
        qsizetype done = 0;
        while (done < data.size()) {
            if (stop)
                return false;
            const int chunk = static_cast<int>(std::min<qsizetype>(data.size() - done, 1 << 16));
            const long n = m_ssl ? SSL_write(m_ssl, data.constData() + done, chunk)
                                 : ::send(m_fd, data.constData() + done, chunk, MSG_NOSIGNAL);
            if (n > 0) {
                done += n;
                continue;
            }
            const bool retry =
                m_ssl ? again(static_cast<int>(n))
                      : n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
            if (!retry)
                return false;
        }
        return true;
    }

  private:
    bool again(int r) const {
        const int e = SSL_get_error(m_ssl, r);
        return e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE ||
               (e == SSL_ERROR_SYSCALL && (errno == EAGAIN || errno == EWOULDBLOCK));
    }
    int m_fd;
    SSL* m_ssl = nullptr;
};

const char* reasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

bool runOpenssl(const QString& folder, const QStringList& args, QString* error) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(QStringLiteral("openssl"), args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        *error = QString::fromLocal8Bit(p.readAllStandardError());
        return false;
    }
    return true;
}

} // namespace

QByteArray HttpExchange::header(const QByteArray& name) const {
    for (const QByteArray& line : headerLines) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

QList<QByteArray> HttpExchange::headerNames() const {
    QList<QByteArray> names;
    for (const QByteArray& line : headerLines)
        names << line.left(line.indexOf(':')).trimmed().toLower();
    return names;
}

bool TestCertificates::make(const QString& folder, TestCertificates* out, QString* error) {
    const QString d = QDir(folder).absolutePath() + QLatin1Char('/');
    QDir().mkpath(d);
    QFile ext(d + QStringLiteral("server.ext"));
    if (!ext.open(QIODevice::WriteOnly))
        return false;
    ext.write("subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\n"
              "keyUsage=digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n");
    ext.close();
    const QStringList steps[] = {
        {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem",
         "-days", "2", "-subj", "/CN=Vellum Test CA"},
        {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "other.key", "-out",
         "other.pem", "-days", "2", "-subj", "/CN=Vellum Other CA"},
        {"req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out", "server.csr",
         "-subj", "/CN=127.0.0.1"},
        {"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
         "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "server.ext"},
    };
    for (const QStringList& args : steps)
        if (!runOpenssl(d, args, error))
            return false;
    out->caFile = d + QStringLiteral("ca.pem");
    out->otherCaFile = d + QStringLiteral("other.pem");
    out->certFile = d + QStringLiteral("server.pem");
    out->keyFile = d + QStringLiteral("server.key");
    return true;
}

TestHttpServer::TestHttpServer(Handler handler, const TestCertificates* tls)
    : m_handler(std::move(handler)) {
    if (tls) {
        SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
        SSL_CTX_use_certificate_chain_file(ctx, tls->certFile.toLocal8Bit().constData());
        SSL_CTX_use_PrivateKey_file(ctx, tls->keyFile.toLocal8Bit().constData(), SSL_FILETYPE_PEM);
        m_sslContext = ctx;
    }
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(m_listenFd, 256);
    socklen_t len = sizeof addr;
    ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_acceptThread = std::thread([this] { acceptLoop(); });
}

TestHttpServer::~TestHttpServer() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_acceptThread.join();
    for (std::thread& t : m_connections)
        t.join();
    ::close(m_listenFd);
    if (m_sslContext)
        SSL_CTX_free(static_cast<SSL_CTX*>(m_sslContext));
}

QString TestHttpServer::url(const QString& path) const {
    return QStringLiteral("%1://127.0.0.1:%2%3")
        .arg(m_sslContext ? QStringLiteral("https") : QStringLiteral("http"))
        .arg(m_port)
        .arg(path);
}

QList<HttpExchange> TestHttpServer::exchanges() const {
    std::lock_guard lock(m_mutex);
    return m_exchanges;
}

int TestHttpServer::requestCount() const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_exchanges.size());
}

bool TestHttpServer::waitForRequests(int n, int timeoutMs) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_exchanges.size() >= n; });
}

void TestHttpServer::acceptLoop() {
    while (!m_stop) {
        pollfd p{m_listenFd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        timeval tv{0, 200000};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        std::lock_guard lock(m_mutex);
        m_connections.emplace_back([this, fd] { serve(fd); });
    }
}

void TestHttpServer::serve(int fd) {
    Connection c(fd, static_cast<SSL_CTX*>(m_sslContext));
    if (!c.handshake(m_stop))
        return;
    QByteArray data;
    char buffer[8192];
    qsizetype headEnd = -1;
    qsizetype contentLength = 0;
    // Reads with a short receive timeout, so that stopping is noticed.
    auto readMore = [&]() -> bool {
        while (!m_stop) {
            const long n = c.read(buffer, sizeof buffer);
            if (n > 0) {
                data.append(buffer, n);
                return true;
            }
            if (n != -2)
                return false;
        }
        return false;
    };
    while ((headEnd = data.indexOf("\r\n\r\n")) < 0)
        if (!readMore())
            return;
    HttpExchange x;
    const QList<QByteArray> lines = data.left(headEnd).split('\n');
    x.requestLine = lines.value(0).trimmed();
    const QList<QByteArray> parts = x.requestLine.split(' ');
    x.method = parts.value(0);
    x.path = parts.value(1);
    x.version = parts.value(2);
    for (qsizetype i = 1; i < lines.size(); ++i)
        x.headerLines << QByteArray(lines[i]).replace('\r', "");
    contentLength = x.header("Content-Length").toLongLong();
    while (data.size() - (headEnd + 4) < contentLength)
        if (!readMore())
            return;
    x.body = data.mid(headEnd + 4, contentLength);
    const HttpReply reply = m_handler(x);
    {
        std::lock_guard lock(m_mutex);
        m_exchanges << x;
    }
    m_changed.notify_all();
    if (reply.stall) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_stop.load(); });
        return;
    }
    if (reply.delayMs > 0) {
        std::unique_lock lock(m_mutex);
        if (m_changed.wait_for(lock, std::chrono::milliseconds(reply.delayMs),
                               [this] { return m_stop.load(); }))
            return;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' +
                      reasonPhrase(reply.status) + "\r\nConnection: close\r\n";
    if (reply.sendLength)
        head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    for (const QByteArray& h : reply.headers)
        head += h + "\r\n";
    if (!c.write(head + "\r\n", m_stop))
        return;
    // Waits ms unless the server stops first; false when it stopped.
    const auto pause = [this](int ms) {
        std::unique_lock lock(m_mutex);
        return !m_changed.wait_for(lock, std::chrono::milliseconds(ms),
                                   [this] { return m_stop.load(); });
    };
    if (reply.body.isEmpty())
        return;
    do {
        if (reply.trickleMs == 0) {
            if (!c.write(reply.body, m_stop))
                return;
            continue;
        }
        for (qsizetype i = 0; i < reply.body.size(); ++i)
            if (!pause(reply.trickleMs) || !c.write(reply.body.mid(i, 1), m_stop))
                return;
    } while (reply.endless && !m_stop);
}
