#include "platform/ShowWindowChannel.h"

#include "platform/BoundedLocalServer.h"
#include "platform/LocalSocketLine.h"

#include <QLocalSocket>

namespace {
const QByteArray kRequest = "show\n";
} // namespace

ShowWindowChannel::ShowWindowChannel(QObject* parent) : QObject(parent) {}

ShowWindowChannel::~ShowWindowChannel() = default;

QString ShowWindowChannel::socketPathIn(const QString& runtimeDir) {
    return runtimeSocketPath(runtimeDir, QStringLiteral("show"));
}

QString ShowWindowChannel::socketPath() const {
    return m_server ? m_server->fullPath() : QString();
}

void ShowWindowChannel::listen(const QString& runtimeDir) {
    if (!m_server) {
        // A request is one short line from a process that ends at once.
        m_server = new BoundedLocalServer(QStringLiteral("show"), {4, 2000}, this);
        connect(m_server, &BoundedLocalServer::connectionReady, this, [this](QLocalSocket* s) {
            connect(s, &QLocalSocket::readyRead, this, [this, s] { onReadyRead(s); });
            if (s->bytesAvailable() > 0)
                onReadyRead(s);
        });
    }
    m_server->listen(runtimeDir);
}

void ShowWindowChannel::onReadyRead(QLocalSocket* socket) {
    if (socket->bytesAvailable() < kRequest.size())
        return;
    const QByteArray line = socket->read(kRequest.size());
    socket->disconnectFromServer();
    if (line == kRequest)
        emit showRequested();
}

bool requestShowWindow(const QString& runtimeDir, int timeoutMs) {
    return sendToLocalSocket(ShowWindowChannel::socketPathIn(runtimeDir), kRequest, timeoutMs);
}
