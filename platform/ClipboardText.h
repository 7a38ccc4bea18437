#pragma once
// The desktop clipboard (the CLIPBOARD selection) in its plain-text form, as
// code-page bytes. A watcher remembers whether the clipboard changed since it
// was last read, so a poll can skip the read while nothing happened.
#include <QByteArray>
#include <QMetaObject>

class ClipboardText {
  public:
    // Starts as changed: text that was there before the watcher existed
    // signals nothing, so the first poll reads it.
    ClipboardText();
    ~ClipboardText();
    ClipboardText(const ClipboardText&) = delete;
    ClipboardText& operator=(const ClipboardText&) = delete;

    bool changedSinceRead() const { return m_changed; }
    // Forget the change without reading (the clipboard held no text).
    void markRead() { m_changed = false; }
    // Reads the text and marks it read; no text or a failure gives empty bytes.
    QByteArray read();

    // One-shot operations, also for code that does not poll.
    static bool hasText();
    static QByteArray text();
    static void clear();
    static void write(const QByteArray& text);

  private:
    bool m_changed = true;
    QMetaObject::Connection m_connection;
};
