#pragma once
// Hands a worker's result to the user-interface thread. Once the receiving
// window has gone (detach), results are dropped instead of reaching a dead
// object; a worker never waits for the user-interface thread.
#include <QObject>

#include <functional>
#include <memory>
#include <mutex>

class UiHandOver {
  public:
    explicit UiHandOver(QObject* receiver) : m_receiver(receiver) {}

    // Any thread: runs call on the receiver's thread, later.
    void post(std::function<void()> call) {
        std::lock_guard lock(m_mutex);
        if (m_receiver)
            QMetaObject::invokeMethod(m_receiver, std::move(call), Qt::QueuedConnection);
    }
    // The receiver's thread, before the receiver is destroyed.
    void detach() {
        std::lock_guard lock(m_mutex);
        m_receiver = nullptr;
    }

  private:
    std::mutex m_mutex;
    QObject* m_receiver;
};

using UiHandOverPtr = std::shared_ptr<UiHandOver>;
