#pragma once
// The clipboard poll: one tick of the main window's 300 ms timer executes at
// most one clipboard command on the editor, publishes the post, empties the
// clipboard and re-enables the timer.
//
// Commands that arrive by other roads than the clipboard (the browser host's
// socket) wait in a queue and run through the same code, one at a time and in
// arrival order, never while another command runs (a picture list may be open
// inside a tick), and without touching the clipboard.
#include "bridge/CaptureHost.h"
#include "platform/ClipboardText.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>
#include <optional>

class CapturePoll {
  public:
    explicit CapturePoll(CaptureHost& host);

    // The tick handler of Timer1.
    void Timer1Timer();

    // Queues a command text to run as if it had come from the clipboard, but
    // leaves the clipboard alone. It runs as soon as no command is running.
    void enqueueCommand(const QString& text);
    std::size_t queuedCommands() const { return m_queue.size(); }

    // Where the current capture sequence last stored its post (a new title
    // starts a sequence).
    struct StoredPost {
        int category = -1;
        int row = -1;
        QByteArray line;
    };
    const std::optional<StoredPost>& storedPost() const { return m_stored; }

  private:
    enum class Source { Clipboard, Queue };
    // Runs the queued commands while none is running; one per call, the next
    // one scheduled so that the window answers between them.
    void drainQueue();
    void execute(const QString& text, Source source);
    void runCommand(const QString& text, Source source);
    void captureImage(const QString& payload);
    void captureLink(const QString& payload);
    void captureTitle(const QString& payload);
    void captureContent(const QString& payload);
    void autoSave(const QString& title, const QString& content, const QString& contentBefore);
    void appendTag(const QString& line);

    CaptureHost& m_host;
    ClipboardText m_clipboard;
    std::optional<StoredPost> m_stored;
    std::deque<QString> m_queue;
    bool m_running = false;
    bool m_clearedThisCommand = false;
    // Owner of the queued calls: none outlives the poll.
    QObject m_context;
};
