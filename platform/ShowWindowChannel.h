#pragma once
// "Bring the running window forward": a second start of the program, which
// ends at once, asks the running instance through the local socket "show" in
// the runtime folder to show and raise its window, so that a user without a
// notification area, or with the window hidden, gets it back. A client
// writes the line "show"; anything else is ignored.
#include <QByteArray>
#include <QObject>
#include <QString>

class BoundedLocalServer;
class QLocalSocket;

class ShowWindowChannel : public QObject {
    Q_OBJECT
  public:
    explicit ShowWindowChannel(QObject* parent = nullptr);
    ~ShowWindowChannel() override;

    // Listens on runtimeDir + "show", for this user only. Throws VellumError
    // when it cannot listen.
    void listen(const QString& runtimeDir);
    QString socketPath() const;

    static QString socketPathIn(const QString& runtimeDir);

  signals:
    void showRequested();

  private:
    void onReadyRead(QLocalSocket* socket);

    BoundedLocalServer* m_server = nullptr;
};

// Asks the instance that listens in runtimeDir to show its window; true when
// the request was handed over.
bool requestShowWindow(const QString& runtimeDir, int timeoutMs = 2000);
