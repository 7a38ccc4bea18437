#pragma once
// The desktop clipboard (the CLIPBOARD selection) in its plain-text form, as
// the capture poll needs it:
// - the window never waits on another program: on X the text is read on a
//   thread with a connection of its own, and a read that is not complete is
//   collected at a later poll;
// - each change of the clipboard is read once, and a read that failed (an
//   owner that never answered) is tried again rather than taken as empty;
// - text that the program placed there itself (it owns the clipboard, or the
//   text is what it last wrote), and the text it just emptied coming back (a
//   clipboard manager restores what vanished), are not news.
// NUL characters never leave this class: the X clipboard can carry them.
#include <QByteArray>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QString>

#include <memory>
#include <optional>

class XSelectionReader;

class ClipboardText {
  public:
    enum class Outcome {
        Text,   // new text on the clipboard
        NoText, // no text, or nothing new
        Failed, // the owner did not answer; the next poll tries again
    };
    struct Read {
        Outcome outcome = Outcome::NoText;
        QString text;
    };

    // Starts as changed: text that was there before the watcher existed
    // signals nothing, so the first poll reads it.
    ClipboardText();
    ~ClipboardText();
    ClipboardText(const ClipboardText&) = delete;
    ClipboardText& operator=(const ClipboardText&) = delete;

    bool changedSinceRead() const { return m_changed; }
    // Whether a read is under way on the reading thread.
    bool reading() const;

    // Reads the clipboard if it changed since the last read, waiting at most
    // waitMs for the text; nullopt when nothing changed or the read is still
    // under way (a later poll collects it).
    std::optional<Read> poll(int waitMs);

    // Empties the clipboard. The emptied text is remembered for two seconds:
    // the same text back within that time is not a new command. Throws
    // VellumError when the clipboard could not be emptied.
    void clear(const QString& emptiedText);

    // Puts text on the clipboard and remembers it as the program's own.
    static void write(const QString& text);
    // Whether text is what the program itself last placed on the clipboard.
    static bool isOwnText(const QString& text);

    // Time within which an emptied text coming back counts as the same.
    static constexpr int kReturnWindowMs = 2000;

  private:
    Read filtered(Read read);

    bool m_changed = true;
    QMetaObject::Connection m_connection;
    std::unique_ptr<XSelectionReader> m_reader;
    QString m_emptiedText;
    QElapsedTimer m_emptiedAt;
};
