#pragma once
#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the event loop, so the
// program can save its posts before it exits.
class SignalWatcher : public QObject {
    Q_OBJECT
  public:
    // Until a watcher exists, these signals end the process at once with
    // status 128 + the signal's number, writing nothing: a signal during
    // start-up must not wait for a start that may never finish.
    static void exitOnSignal();

    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

  signals:
    void terminationRequested(int signalNumber);

  private:
    void onReadable();
    QSocketNotifier* m_notifier = nullptr;
};
