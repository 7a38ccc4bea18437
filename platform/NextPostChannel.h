#pragma once
// The next-post message "1108": a local socket named "1108" in the runtime
// folder. A client writes the message parameter (WParam) as decimal text
// followed by a line break; several messages may share one connection.
#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class BoundedLocalServer;
class QLocalSocket;

// Splits one connection's bytes into lines and reads each as a message; kept
// apart from the socket so that every way a stream can be cut up is easy to
// try. An unfinished last line waits for more bytes.
class NextPostLines {
  public:
    // The WParams of the lines completed by these bytes, in order.
    QList<int> feed(QByteArrayView bytes);

  private:
    QByteArray m_line;
    bool m_overlong = false;
};

class NextPostChannel : public QObject {
    Q_OBJECT
  public:
    // A line longer than this is not a number; it is dropped whole.
    static constexpr qsizetype MaxLine = 32;

    explicit NextPostChannel(QObject* parent = nullptr);
    ~NextPostChannel() override;

    // Listens on runtimeDir + "1108" (Paths::runtimeDir() when empty),
    // accessible to this user only, with the connection limits of
    // BoundedLocalServer. A socket file left by a killed instance is removed
    // first: the caller holds the single-instance lock. Throws VellumError
    // when it cannot listen.
    void listen(const QString& runtimeDir = QString());
    QString socketPath() const;

    // The socket's full path for a runtime folder.
    static QString socketPathIn(const QString& runtimeDir);
    // The WParam of one received line, or false for anything else.
    static bool parseLine(const QByteArray& line, int& wparam);

  signals:
    void messageReceived(int wparam);

  private:
    void onConnection(QLocalSocket* socket);
    void onReadyRead(QLocalSocket* socket);

    BoundedLocalServer* m_server = nullptr;
    QHash<QLocalSocket*, NextPostLines> m_pending;
};

// Sends one next-post message to the instance that listens in runtimeDir.
// True when it was handed to the listening instance.
bool sendNextPostMessage(const QString& runtimeDir, int wparam, int timeoutMs = 3000);
