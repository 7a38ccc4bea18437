#include "platform/BoundedLocalServer.h"

#include "platform/VellumError.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {
// How often the server checks that it still listens and its file is there.
constexpr int kWatchMs = 1000;

bool socketFileExists(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISSOCK(st.st_mode);
}

// Descriptors are handed out lowest first, so a high number means the table
// is nearly full.
bool leavesReserve(qintptr fd) {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return true;
    return fd + BoundedLocalServer::kDescriptorReserve < qintptr(limit.rlim_cur);
}
} // namespace

BoundedLocalServer::BoundedLocalServer(QString name, Limits limits, QObject* parent)
    : QObject(parent), m_name(std::move(name)), m_limits(limits) {}

BoundedLocalServer::~BoundedLocalServer() {
    if (m_server)
        m_server->close();
}

bool BoundedLocalServer::isListening() const {
    return m_server && m_server->isListening();
}

void BoundedLocalServer::listen(const QString& runtimeDir) {
    QString dir = runtimeDir;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    m_path = dir + m_name;
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &BoundedLocalServer::onNewConnection);
        m_watch = new QTimer(this);
        m_watch->setInterval(kWatchMs);
        connect(m_watch, &QTimer::timeout, this, &BoundedLocalServer::listenAgainIfLost);
    }
    QString error;
    if (!startListening(&error))
        throw VellumError(QStringLiteral("无法在“%1”上建立本地通信接口：%2").arg(m_path, error));
    m_watch->start();
}

bool BoundedLocalServer::startListening(QString* error) {
    m_server->close();
    QLocalServer::removeServer(m_path);
    if (m_server->listen(m_path))
        return true;
    if (error)
        *error = m_server->errorString();
    return false;
}

void BoundedLocalServer::listenAgainIfLost() {
    // Qt closes the server (and removes its file) when accepting fails, for
    // instance when the process runs out of descriptors for a moment.
    if (m_server->isListening() && socketFileExists(m_path))
        return;
    QString error;
    if (!startListening(&error))
        qWarning("vellum: cannot listen on %s again: %s", qPrintable(m_path), qPrintable(error));
}

void BoundedLocalServer::onNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        if (!leavesReserve(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        hold(socket);
        emit connectionReady(socket);
    }
    listenAgainIfLost();
}

void BoundedLocalServer::hold(QLocalSocket* socket) {
    // A full house makes room by dropping the connection quiet the longest,
    // so a flood of idle clients cannot lock out a real one.
    while (m_held.size() >= m_limits.maxConnections && !m_held.isEmpty())
        release(m_held.first());
    m_held.append(socket);
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->setInterval(m_limits.idleMs);
    idle->setObjectName(QStringLiteral("idle"));
    connect(idle, &QTimer::timeout, this, [this, socket] { release(socket); });
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { touch(socket); });
    // Deleted later: the receiver's own handlers still read what is left.
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
        if (m_held.removeOne(socket))
            socket->deleteLater();
    });
    idle->start();
}

void BoundedLocalServer::touch(QLocalSocket* socket) {
    if (auto* idle = socket->findChild<QTimer*>(QStringLiteral("idle"), Qt::FindDirectChildrenOnly))
        idle->start();
    if (m_held.removeOne(socket))
        m_held.append(socket);
}

void BoundedLocalServer::release(QLocalSocket* socket) {
    if (!m_held.removeOne(socket))
        return;
    socket->abort();
    socket->deleteLater();
}
