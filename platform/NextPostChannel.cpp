#include "platform/NextPostChannel.h"

#include "platform/BoundedLocalServer.h"
#include "platform/LocalSocketLine.h"
#include "platform/Paths.h"

#include <QLocalSocket>

#include <limits>

NextPostChannel::NextPostChannel(QObject* parent) : QObject(parent) {}

NextPostChannel::~NextPostChannel() = default;

QString NextPostChannel::socketPathIn(const QString& runtimeDir) {
    return runtimeSocketPath(runtimeDir, QStringLiteral("1108"));
}

QString NextPostChannel::socketPath() const {
    return m_server ? m_server->fullPath() : QString();
}

void NextPostChannel::listen(const QString& runtimeDir) {
    if (!m_server) {
        m_server = new BoundedLocalServer(QStringLiteral("1108"), {}, this);
        connect(m_server, &BoundedLocalServer::connectionReady, this,
                &NextPostChannel::onConnection);
    }
    m_server->listen(runtimeDir.isEmpty() ? Paths::runtimeDir() : runtimeDir);
}

bool NextPostChannel::parseLine(const QByteArray& raw, int& wparam) {
    QByteArray line = raw;
    if (line.endsWith('\r'))
        line.chop(1);
    qsizetype i = 0;
    bool negative = false;
    if (i < line.size() && (line.at(i) == '-' || line.at(i) == '+'))
        negative = line.at(i++) == '-';
    if (i == line.size() || line.size() - i > 10)
        return false;
    qint64 value = 0;
    for (; i < line.size(); ++i) {
        const char c = line.at(i);
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return false;
    wparam = static_cast<int>(value);
    return true;
}

QList<int> NextPostLines::feed(QByteArrayView bytes) {
    QList<int> messages;
    for (const char c : bytes) {
        if (c == '\n') {
            int wparam = 0;
            if (!m_overlong && NextPostChannel::parseLine(m_line, wparam))
                messages.append(wparam);
            m_line.clear();
            m_overlong = false;
        } else if (!m_overlong) {
            if (m_line.size() >= NextPostChannel::MaxLine) {
                m_overlong = true;
                m_line.clear();
            } else {
                m_line.append(c);
            }
        }
    }
    return messages;
}

void NextPostChannel::onConnection(QLocalSocket* socket) {
    m_pending.insert(socket, NextPostLines{});
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
        onReadyRead(socket);
        // An unfinished last line is not a message.
        m_pending.remove(socket);
    });
    // The server deletes a socket it drops.
    connect(socket, &QObject::destroyed, this, [this, socket] { m_pending.remove(socket); });
    if (socket->bytesAvailable() > 0)
        onReadyRead(socket);
}

void NextPostChannel::onReadyRead(QLocalSocket* socket) {
    auto it = m_pending.find(socket);
    if (it == m_pending.end() || !socket->isOpen())
        return;
    QList<int> messages;
    char buffer[4096];
    qint64 n;
    while ((n = socket->read(buffer, sizeof buffer)) > 0)
        messages += it.value().feed(QByteArrayView(buffer, n));
    // Emitted after reading: a receiver may run a nested event loop (a
    // message box) during which this socket goes away.
    for (const int wparam : messages)
        emit messageReceived(wparam);
}

bool sendNextPostMessage(const QString& runtimeDir, int wparam, int timeoutMs) {
    return sendToLocalSocket(NextPostChannel::socketPathIn(runtimeDir),
                             QByteArray::number(wparam) + '\n', timeoutMs);
}
