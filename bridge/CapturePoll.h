#pragma once
// The clipboard poll: one tick of the main window's 300 ms timer executes at
// most one clipboard command on the editor, publishes the post, empties the
// clipboard and re-enables the timer.
#include "bridge/CaptureHost.h"
#include "platform/ClipboardText.h"

#include <QByteArray>
#include <QString>

#include <optional>

class CapturePoll {
  public:
    explicit CapturePoll(CaptureHost& host);

    // The tick handler of Timer1.
    void Timer1Timer();

    // Where the current capture sequence last stored its post (a new title
    // starts a sequence).
    struct StoredPost {
        int category = -1;
        int row = -1;
        QByteArray line;
    };
    const std::optional<StoredPost>& storedPost() const { return m_stored; }

  private:
    void runCommand(const QString& text);
    void captureImage(const QString& payload);
    void captureLink(const QString& payload);
    void captureTitle(const QString& payload);
    void captureContent(const QString& payload);
    void autoSave(const QString& title, const QString& content, const QString& contentBefore);
    void appendTag(const QString& line);

    CaptureHost& m_host;
    ClipboardText m_clipboard;
    std::optional<StoredPost> m_stored;
};
