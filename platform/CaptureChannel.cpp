#include "platform/CaptureChannel.h"

#include "platform/BoundedLocalServer.h"
#include "platform/Paths.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QPointer>
#include <QtEndian>

namespace {
constexpr qsizetype kHeader = 4;
const QByteArray kOk = QByteArrayLiteral("ok\n");
} // namespace

bool CaptureFrames::feed(QByteArrayView bytes) {
    if (m_failed)
        return false;
    m_buffer.append(bytes);
    qsizetype start = 0;
    while (m_buffer.size() - start >= kHeader) {
        const quint32 length = qFromBigEndian<quint32>(m_buffer.constData() + start);
        if (length > quint32(MaxCommand)) {
            m_failed = true;
            m_buffer.clear();
            return false;
        }
        if (m_buffer.size() - start - kHeader < qsizetype(length))
            break;
        m_frames.append(m_buffer.mid(start + kHeader, length));
        start += kHeader + length;
    }
    if (start > 0)
        m_buffer.remove(0, start);
    return true;
}

QList<QByteArray> CaptureFrames::takeFrames() {
    QList<QByteArray> out;
    out.swap(m_frames);
    return out;
}

QByteArray CaptureFrames::frame(const QByteArray& text) {
    QByteArray out(kHeader, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(text.size()), out.data());
    out += text;
    return out;
}

CaptureChannel::CaptureChannel(QObject* parent) : QObject(parent) {}

CaptureChannel::~CaptureChannel() = default;

QString CaptureChannel::socketPathIn(const QString& runtimeDir) {
    QString dir = runtimeDir;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir + QStringLiteral("capture");
}

QString CaptureChannel::socketPath() const {
    return m_server ? m_server->fullPath() : QString();
}

void CaptureChannel::listen(const QString& runtimeDir) {
    if (!m_server) {
        m_server = new BoundedLocalServer(QStringLiteral("capture"), {}, this);
        connect(m_server, &BoundedLocalServer::connectionReady, this,
                &CaptureChannel::onConnection);
    }
    m_server->listen(runtimeDir.isEmpty() ? Paths::runtimeDir() : runtimeDir);
}

void CaptureChannel::onConnection(QLocalSocket* socket) {
    m_streams.insert(socket, CaptureFrames{});
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
        // Frames that arrived with the close still count: the client may not
        // wait for its answer.
        onReadyRead(socket);
        m_streams.remove(socket);
    });
    // The server deletes a socket it drops.
    connect(socket, &QObject::destroyed, this, [this, socket] { m_streams.remove(socket); });
    if (socket->bytesAvailable() > 0)
        onReadyRead(socket);
}

void CaptureChannel::onReadyRead(QLocalSocket* socket) {
    auto it = m_streams.find(socket);
    if (it == m_streams.end() || it->failed() || !socket->isOpen())
        return;
    bool ok = true;
    while (ok && socket->bytesAvailable() > 0)
        ok = it->feed(socket->read(qMin<qint64>(socket->bytesAvailable(), 1 << 20)));
    const QList<QByteArray> frames = it->takeFrames();
    QPointer<QLocalSocket> guard(socket);
    for (const QByteArray& frame : frames) {
        QString text = QString::fromUtf8(frame);
        text.remove(QChar(0));
        // The receiver may run a nested event loop during which the client
        // goes away; the command is queued all the same.
        emit commandReceived(text);
        if (guard && guard->state() == QLocalSocket::ConnectedState)
            guard->write(kOk);
    }
    if (!ok && guard && guard->state() == QLocalSocket::ConnectedState) {
        guard->write(QByteArrayLiteral("error: command longer than 16 MiB\n"));
        guard->flush();
        guard->disconnectFromServer();
    }
}

Handover sendCaptureCommand(const QString& runtimeDir, const QByteArray& utf8Text, int timeoutMs,
                            QString* error) {
    auto fail = [&](const QString& why, Handover how) {
        if (error)
            *error = why;
        return how;
    };
    if (utf8Text.size() > CaptureFrames::MaxCommand)
        return fail(QStringLiteral("command longer than 16 MiB"), Handover::Failed);
    QElapsedTimer clock;
    clock.start();
    auto remaining = [&] { return int(qMax<qint64>(1, timeoutMs - clock.elapsed())); };

    QLocalSocket socket;
    socket.connectToServer(CaptureChannel::socketPathIn(runtimeDir));
    if (!socket.waitForConnected(remaining()))
        return fail(socket.errorString(), Handover::NotListening);
    const QByteArray frame = CaptureFrames::frame(utf8Text);
    if (socket.write(frame) != frame.size())
        return fail(socket.errorString(), Handover::Failed);
    while (socket.bytesToWrite() > 0) {
        if (clock.elapsed() >= timeoutMs || !socket.waitForBytesWritten(remaining())) {
            // Part of a frame is no command: dropping the connection now
            // makes sure the program never runs it.
            const QString why = socket.errorString();
            socket.abort();
            return fail(QStringLiteral("the command was not taken: %1").arg(why), Handover::Failed);
        }
    }
    // From here on the command is the program's.
    QByteArray answer;
    while (!answer.contains('\n')) {
        if (socket.bytesAvailable() == 0 &&
            (clock.elapsed() >= timeoutMs || !socket.waitForReadyRead(remaining())))
            return fail(answer.isEmpty() ? QStringLiteral("no answer: %1").arg(socket.errorString())
                                         : QStringLiteral("incomplete answer"),
                        Handover::Unconfirmed);
        answer += socket.read(256);
        if (answer.size() > 256)
            break;
    }
    socket.disconnectFromServer();
    const QByteArray line = answer.left(answer.indexOf('\n'));
    if (line == "ok")
        return Handover::Queued;
    return fail(QString::fromUtf8(line.left(200)), Handover::Failed);
}
