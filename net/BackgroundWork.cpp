#include "net/BackgroundWork.h"

#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>

#include <atomic>
#include <exception>
#include <thread>

namespace BackgroundWork {
namespace {
// Stepped by the worker, read by the user-interface thread.
class Relay : public ProgressIndicator {
  public:
    void setMinimum(int value) override { m_minimum.store(value, std::memory_order_relaxed); }
    void setMaximum(int value) override { m_maximum.store(value, std::memory_order_relaxed); }
    void setPosition(int value) override { m_position.store(value, std::memory_order_relaxed); }

    void forward(ProgressIndicator* shown) {
        const int minimum = m_minimum.load(std::memory_order_relaxed);
        const int maximum = m_maximum.load(std::memory_order_relaxed);
        const int position = m_position.load(std::memory_order_relaxed);
        if (minimum != m_shownMinimum || maximum != m_shownMaximum) {
            shown->setMinimum(minimum);
            shown->setMaximum(maximum);
            m_shownMinimum = minimum;
            m_shownMaximum = maximum;
        }
        if (position != m_shownPosition) {
            shown->setPosition(position);
            m_shownPosition = position;
        }
    }

  private:
    std::atomic<int> m_minimum{0};
    std::atomic<int> m_maximum{0};
    std::atomic<int> m_position{0};
    int m_shownMinimum = -1;
    int m_shownMaximum = -1;
    int m_shownPosition = -1;
};
} // namespace

void run(const std::function<void(ProgressIndicator*)>& work, ProgressIndicator* shown) {
    Relay relay;
    std::exception_ptr error;
    QEventLoop loop;
    std::thread worker([&] {
        try {
            work(&relay);
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    QTimer timer;
    timer.setInterval(30);
    if (shown)
        QObject::connect(&timer, &QTimer::timeout, [&] { relay.forward(shown); });
    timer.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    // The loop also ends when the application quits; the work still ends
    // first, so a file is never left half-replaced.
    worker.join();
    timer.stop();
    if (shown)
        relay.forward(shown);
    if (error)
        std::rethrow_exception(error);
}
} // namespace BackgroundWork
