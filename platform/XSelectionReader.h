#pragma once
// The X CLIPBOARD selection read on a thread of its own, over an X connection
// of its own. Qt reads the selection on the user-interface thread and waits up
// to five seconds for an owner that is slow to answer; here the window never
// waits: a read is requested, and its result is collected when it is there.
// Large texts arrive in increments (INCR) like any X client sends them.
#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

struct xcb_connection_t;

class XSelectionReader {
  public:
    enum class Outcome {
        Text,   // the owner handed over text
        NoText, // no owner, or the owner has no text (an image, files)
        Failed, // the owner did not answer in time, or the connection broke
    };
    struct Result {
        Outcome outcome = Outcome::Failed;
        QString text;
    };

    // Connects to the display named by DISPLAY; isOpen() tells whether it
    // worked. timeoutMs bounds one read on the worker, not the window.
    explicit XSelectionReader(int timeoutMs = 20000);
    ~XSelectionReader();
    XSelectionReader(const XSelectionReader&) = delete;
    XSelectionReader& operator=(const XSelectionReader&) = delete;

    bool isOpen() const { return m_connection != nullptr; }

    // Starts a read unless one is under way.
    void request();
    bool busy() const;
    // The result of the last read once it is complete, waiting at most waitMs
    // for it; nullopt while it is still under way or none was requested.
    std::optional<Result> take(int waitMs = 0);

    // Gives up the selection's ownership at the server's current time, so an
    // owner with a later timestamp than ours cannot make it a no-op. Returns
    // whether the selection has no owner afterwards (or one that took it
    // over since).
    bool clear();

  private:
    void run();
    Result readOnce();
    std::optional<QByteArray> convert(uint32_t target, bool& refused);
    std::optional<QByteArray> readProperty(bool& incremental);
    std::optional<QByteArray> readIncrements();
    // Waits for the next event that passes the filter, up to the deadline,
    // and copies its first size bytes to out.
    bool waitForEvent(const std::function<bool(const void*)>& wanted, int64_t deadlineMs, void* out,
                      std::size_t size);

    int m_timeoutMs;
    xcb_connection_t* m_connection = nullptr;
    uint32_t m_window = 0;
    uint32_t m_clipboardAtom = 0;
    uint32_t m_utf8Atom = 0;
    uint32_t m_propertyAtom = 0;
    uint32_t m_incrAtom = 0;
    int m_wakeFd = -1;

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_requested = false;
    bool m_reading = false;
    bool m_stop = false;
    std::optional<Result> m_result;
    std::thread m_thread;
};
