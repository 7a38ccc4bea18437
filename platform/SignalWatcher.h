#pragma once
#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the event loop, so the
// program can save its posts before it exits.
class SignalWatcher : public QObject {
    Q_OBJECT
  public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

  signals:
    void terminationRequested(int signalNumber);

  private:
    void onReadable();
    QSocketNotifier* m_notifier = nullptr;
};
