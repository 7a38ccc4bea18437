#pragma once
// A local socket in the runtime folder that other processes of this user talk
// to. It promises to stay reachable whatever the clients do: it holds at most
// Limits::maxConnections connections at once (a new one pushes out the one
// that has been quiet longest), drops a connection that stays silent for
// Limits::idleMs, never holds a connection when the process is short of file
// descriptors (saving the posts needs some), and listens again when accepting
// fails or the socket file vanishes.
#include <QList>
#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;
class QTimer;

class BoundedLocalServer : public QObject {
    Q_OBJECT
  public:
    struct Limits {
        int maxConnections = 32;
        int idleMs = 5000;
    };
    // Descriptors kept free for the program's own files: a connection that
    // would leave fewer than this is closed at once.
    static constexpr int kDescriptorReserve = 64;

    BoundedLocalServer(QString name, Limits limits, QObject* parent = nullptr);
    ~BoundedLocalServer() override;

    // Listens on runtimeDir + name, for this user only. A socket file left by
    // a killed instance is removed first: the caller holds the single-instance
    // lock. Throws VellumError when it cannot listen.
    void listen(const QString& runtimeDir);
    QString fullPath() const { return m_path; }
    bool isListening() const;
    // Connections held now.
    int connectionCount() const { return int(m_held.size()); }

  signals:
    // A new accepted connection; the receiver reads it (readyRead) and may
    // close it. Any data received resets its idle timer. The server owns and
    // deletes the socket once it is closed.
    void connectionReady(QLocalSocket* socket);

  private:
    void onNewConnection();
    void hold(QLocalSocket* socket);
    void release(QLocalSocket* socket);
    void touch(QLocalSocket* socket);
    void listenAgainIfLost();
    bool startListening(QString* error);

    QString m_name;
    Limits m_limits;
    QString m_path;
    QLocalServer* m_server = nullptr;
    QTimer* m_watch = nullptr;
    // Oldest activity first.
    QList<QLocalSocket*> m_held;
};
