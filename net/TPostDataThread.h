#pragma once
// A fire-and-forget form POST on a thread of its own, for a remote
// submission and for the daily usage request. The thread owns its address
// and parameter list and frees itself at the end of its exchange; the end
// of the program cancels it (Http::AbortAll).
#include "net/HttpTransfer.h"
#include "net/UiHandOver.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

class TPostDataThread {
  public:
    // Runs on the user-interface thread after the exchange, unless the
    // receiver of the hand-over has gone.
    using Done = std::function<void(const Http::Result& result)>;

    // Starts at once; the list belongs to the thread from here on.
    static void Start(const QString& address, int readTimeoutMs, QList<QByteArray> parameters,
                      UiHandOverPtr handOver = {}, Done done = {});

  private:
    TPostDataThread(const QString& address, int readTimeoutMs, QList<QByteArray> parameters,
                    UiHandOverPtr handOver, Done done);
    void Execute();

    QString m_address;
    int m_readTimeoutMs;
    QList<QByteArray> m_parameters;
    UiHandOverPtr m_handOver;
    Done m_done;
};
