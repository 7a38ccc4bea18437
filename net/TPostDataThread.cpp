#include "net/TPostDataThread.h"

#include "net/RemoteSubmission.h"

#include <memory>
#include <thread>

TPostDataThread::TPostDataThread(const QString& address, int readTimeoutMs,
                                 QList<QByteArray> parameters, UiHandOverPtr handOver, Done done)
    : m_address(address), m_readTimeoutMs(readTimeoutMs), m_parameters(std::move(parameters)),
      m_handOver(std::move(handOver)), m_done(std::move(done)) {}

void TPostDataThread::Start(const QString& address, int readTimeoutMs, QList<QByteArray> parameters,
                            UiHandOverPtr handOver, Done done) {
    std::unique_ptr<TPostDataThread> thread(new TPostDataThread(
        address, readTimeoutMs, std::move(parameters), std::move(handOver), std::move(done)));
    std::thread([self = std::move(thread)] { self->Execute(); }).detach();
}

void TPostDataThread::Execute() {
    Http::ActiveWorker active;
    Http::Request request;
    request.address = m_address;
    request.post = true;
    request.http10 = true;
    request.body = EncodeFormBody(m_parameters);
    request.readTimeoutMs = m_readTimeoutMs;
    const Http::Result result = Http::Perform(request);
    if (m_handOver && m_done)
        m_handOver->post([done = m_done, result] { done(result); });
}
