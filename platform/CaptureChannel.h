#pragma once
// The capture socket: a local socket named "capture" in the runtime folder,
// through which the browser host hands clipboard commands to the running
// program without touching the clipboard. A client writes frames, each a
// 4-byte big-endian length and that many bytes of UTF-8 command text (at most
// MaxCommand); the program answers "ok\n" to each frame once the command is
// queued, so an "ok" promises the command will run; a frame that was written
// whole runs also when the client leaves before the answer. A frame that announces
// more than MaxCommand bytes is answered with an "error:" line and the
// connection is closed, since the rest of the stream cannot be trusted.
#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class BoundedLocalServer;
class QLocalSocket;

// Splits a byte stream into command frames; kept apart from the socket so
// that every way a stream can be cut up is easy to try.
class CaptureFrames {
  public:
    static constexpr qsizetype MaxCommand = 16 * 1024 * 1024;

    // Appends bytes and moves every completed frame to frames(). False once
    // a frame announced more than MaxCommand bytes; later input is ignored.
    bool feed(QByteArrayView bytes);
    QList<QByteArray> takeFrames();
    bool failed() const { return m_failed; }
    // Bytes of an unfinished frame, its length field included.
    qsizetype pending() const { return m_buffer.size(); }

    static QByteArray frame(const QByteArray& text);

  private:
    QByteArray m_buffer;
    QList<QByteArray> m_frames;
    bool m_failed = false;
};

class CaptureChannel : public QObject {
    Q_OBJECT
  public:
    static constexpr qsizetype MaxCommand = CaptureFrames::MaxCommand;

    explicit CaptureChannel(QObject* parent = nullptr);
    ~CaptureChannel() override;

    // Listens on runtimeDir + "capture" (Paths::runtimeDir() when empty), for
    // this user only and with the same connection limits as "1108". A socket
    // file left by a killed instance is removed first: the caller holds the
    // single-instance lock. Throws VellumError when it cannot listen.
    void listen(const QString& runtimeDir = QString());
    QString socketPath() const;

    static QString socketPathIn(const QString& runtimeDir);

  signals:
    // One command, NUL characters removed (as from the clipboard). The
    // receiver queues it before returning; the client is answered then.
    void commandReceived(const QString& text);

  private:
    void onConnection(QLocalSocket* socket);
    void onReadyRead(QLocalSocket* socket);

    BoundedLocalServer* m_server = nullptr;
    QHash<QLocalSocket*, CaptureFrames> m_streams;
};

// The client's side, for the browser host: how far one command got.
enum class Handover {
    // The program answered that it has queued the command.
    Queued,
    // The whole frame is in the socket but the program did not answer in time
    // (busy, or stopped): it is the program's now and runs once the program
    // reads it, even after the client has gone.
    Unconfirmed,
    // Nobody listens (no socket, or one left by a program that ended).
    NotListening,
    // Not handed over: the frame could not be written whole (the connection
    // is then dropped, so the program never sees it) or the program refused
    // it. Nothing runs.
    Failed,
};

// Sends one command and waits at most timeoutMs for the program's answer.
// *error says why on anything but Queued.
Handover sendCaptureCommand(const QString& runtimeDir, const QByteArray& utf8Text, int timeoutMs,
                            QString* error);
