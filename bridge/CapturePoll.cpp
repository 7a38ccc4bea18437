#include "bridge/CapturePoll.h"

#include "bridge/ClipboardCommand.h"
#include "bridge/TagBuilder.h"
#include "platform/AnsiCodePage.h"
#include "platform/VellumError.h"
#include "store/PostLine.h"

#include <QTimer>

#include <exception>

namespace {
// Longest wait of a tick for the clipboard's text; a slower owner is
// answered at a later tick.
constexpr int kReadWaitMs = 100;
const QString kModeAdd = QStringLiteral("ADD");
const QString kModeEdit = QStringLiteral("EDIT");

// The timer is off for the whole tick, including a modal picture list, and on
// again however the tick ends.
class PollPause {
  public:
    explicit PollPause(CaptureHost& host) : m_host(host) { m_host.setPollEnabled(false); }
    ~PollPause() { m_host.setPollEnabled(true); }
    PollPause(const PollPause&) = delete;
    PollPause& operator=(const PollPause&) = delete;

  private:
    CaptureHost& m_host;
};

// Marks a command as running for its whole length, also while a modal
// dialog of the tick processes events, so nothing starts inside it.
class RunningMark {
  public:
    explicit RunningMark(bool& running) : m_running(running) { m_running = true; }
    ~RunningMark() { m_running = false; }
    RunningMark(const RunningMark&) = delete;
    RunningMark& operator=(const RunningMark&) = delete;

  private:
    bool& m_running;
};

QByteArray bytes(const QString& text) {
    return AnsiCodePage::fromUnicode(text);
}
} // namespace

CapturePoll::CapturePoll(CaptureHost& host) : m_host(host) {}

void CapturePoll::Timer1Timer() {
    if (m_running)
        return;
    if (!m_queue.empty()) {
        // A queued command takes this tick; the clipboard is read next time.
        drainQueue();
        return;
    }
    // Nothing is read while the clipboard is unchanged; a read that another
    // program is slow to answer is collected at a later tick, so the window
    // never waits for it.
    const std::optional<ClipboardText::Read> read = m_clipboard.poll(kReadWaitMs);
    if (!read || read->outcome != ClipboardText::Outcome::Text)
        return;
    // The code page (GB18030) holds every character, so the text is used as
    // read; it becomes code-page bytes where it is stored.
    const QString& text = read->text;
    if (text.isEmpty() || !IsClipboardCommand(text))
        return;
    execute(text, Source::Clipboard);
}

void CapturePoll::enqueueCommand(const QString& text) {
    m_queue.push_back(text);
    if (!m_running)
        QTimer::singleShot(0, &m_context, [this] { drainQueue(); });
}

void CapturePoll::drainQueue() {
    if (m_running || m_queue.empty())
        return;
    const QString text = WithoutNul(m_queue.front());
    m_queue.pop_front();
    if (!text.isEmpty() && IsClipboardCommand(text))
        execute(text, Source::Queue);
    if (!m_queue.empty())
        QTimer::singleShot(0, &m_context, [this] { drainQueue(); });
}

void CapturePoll::execute(const QString& text, Source source) {
    PollPause pause(m_host);
    RunningMark running(m_running);
    try {
        runCommand(text, source);
    } catch (const std::exception& e) {
        const auto* ve = dynamic_cast<const VellumError*>(&e);
        m_host.showError(ve ? ve->message() : QString::fromLocal8Bit(e.what()));
        // The command must not stay on the clipboard to fail again next tick.
        if (source == Source::Clipboard && !m_clearedThisCommand) {
            try {
                m_clipboard.clear(text);
            } catch (const VellumError& clearError) {
                m_host.showError(clearError.message());
            }
        }
    }
    // Commands that arrived while this one ran (a picture list was open) go
    // next.
    if (!m_queue.empty())
        QTimer::singleShot(0, &m_context, [this] { drainQueue(); });
}

void CapturePoll::runCommand(const QString& text, Source source) {
    m_clearedThisCommand = false;
    if (m_host.editorMode().isEmpty())
        m_host.setEditorMode(kModeAdd);

    const ClipboardCommand command = ParseClipboardCommand(text);
    switch (command.kind) {
    case CommandKind::Image:
        captureImage(command.payload);
        break;
    case CommandKind::Link:
        captureLink(command.payload);
        break;
    case CommandKind::Title:
        captureTitle(command.payload);
        break;
    case CommandKind::Content:
        captureContent(command.payload);
        break;
    case CommandKind::AllPictures:
        // The clipboard keeps the command until the dialog closes; the
        // paused timer keeps it from running twice.
        m_host.showPictureList(bytes(command.payload));
        break;
    case CommandKind::None:
        break;
    }

    // Read once: a captured content can be megabytes.
    const QString title = m_host.titleText();
    const QString content = m_host.contentText();
    m_host.publishPost(title, content);
    // Also removes what publishing may have put there: after a command the
    // clipboard is always empty. A queued command never came from the
    // clipboard, so what is there belongs to the user.
    if (source == Source::Clipboard) {
        m_clearedThisCommand = true;
        m_clipboard.clear(text);
    }

    const TSettingsMirror& settings = m_host.settings();
    if (settings.SoundOnSucc && (!title.isEmpty() || !content.isEmpty()))
        m_host.playSuccessSound();
    if (m_host.settings().RetoreMainWin)
        m_host.restoreMainWindow();
}

void CapturePoll::appendTag(const QString& line) {
    m_host.appendContentLine(line);
}

void CapturePoll::captureImage(const QString& payload) {
    const QString address = ImageAddress(payload);
    if (ContentHoldsAddress(m_host.contentText(), address)) {
        m_host.showNote(QStringLiteral("内容中已有这张图片，没有重复添加。"));
        return;
    }
    m_host.showNote(QStringLiteral("已添加图片：%1").arg(address));
    const TSettingsMirror& s = m_host.settings();
    if (s.NoConvert)
        appendTag(address);
    else if (s.Convert2UBB)
        appendTag(AnsiCodePage::toUnicode(MakeUbbTag(TagKind::Image, bytes(address), {}, s)));
    else
        appendTag(AnsiCodePage::toUnicode(MakeHtmlTag(TagKind::Image, bytes(address), {})));
}

void CapturePoll::captureLink(const QString& payload) {
    const LinkParts link = SplitLinkPayload(payload);
    if (ContentHoldsAddress(m_host.contentText(), link.address)) {
        m_host.showNote(QStringLiteral("内容中已有这个链接，没有重复添加。"));
        return;
    }
    m_host.showNote(QStringLiteral("已添加链接：%1").arg(link.address));
    const TSettingsMirror& s = m_host.settings();
    if (s.NoConvert)
        appendTag(link.address);
    else if (s.Convert2UBB)
        appendTag(AnsiCodePage::toUnicode(
            MakeUbbTag(TagKind::Link, bytes(link.address), bytes(link.description), s)));
    else
        appendTag(AnsiCodePage::toUnicode(
            MakeHtmlTag(TagKind::Link, bytes(link.address), bytes(link.description))));
}

void CapturePoll::captureTitle(const QString& payload) {
    // Typed content is never dropped: it stays below the new title.
    const bool keepContent = m_host.contentUnsaved();
    m_host.setTitleText(payload);
    if (m_host.settings().ClearContentOnGetTitle) {
        if (keepContent)
            m_host.showNote(QStringLiteral("内容尚未保存，没有清空。"));
        else
            m_host.clearContent();
    }
    m_host.setEditorMode(kModeAdd);
    m_host.setStatusText(QStringLiteral("新建"));
    m_host.setCapturedTitle(true);
    m_stored.reset();
}

void CapturePoll::captureContent(const QString& payload) {
    // Only an automatic save compares with the content before; a content of
    // megabytes is not copied for nothing.
    const bool maySave = m_host.capturedTitle() && m_host.settings().GetAutoSave;
    const QString before = maySave ? m_host.contentText() : QString();
    m_host.appendContentLine(payload);
    if (!maySave)
        return;
    const QString title = m_host.titleText();
    const QString content = m_host.contentText();
    if (!title.isEmpty() && !content.isEmpty())
        autoSave(title, content, before);
}

void CapturePoll::autoSave(const QString& title, const QString& content,
                           const QString& contentBefore) {
    // The separator in a title would split the post at the wrong place when
    // the category is read again.
    if (title.contains(QLatin1String(kPostSeparator))) {
        m_host.showError(QStringLiteral("标题中不能含有“$TCSPLIT$”！帖子没有自动保存。"));
        return;
    }
    const int category = m_host.activeCategory();
    int row = m_host.selectedRow();
    if (m_host.editorMode() == kModeEdit && row < 0) {
        // Our post lost its selection (saved by hand, a move or an import
        // refreshed the list). Replace it only where it still stands
        // unchanged, as stored by us or as the editor held it before this
        // capture; otherwise keep it and store this one as a new post.
        bool intact = false;
        if (m_stored && m_stored->category == category) {
            const std::optional<QByteArray> current = m_host.record(category, m_stored->row);
            intact = current && (*current == m_stored->line ||
                                 *current == EncodePost(bytes(title), bytes(contentBefore)));
        }
        if (intact) {
            row = m_stored->row;
            m_host.selectRow(row);
        } else {
            m_host.setEditorMode(kModeAdd);
        }
    }

    const bool adding = m_host.editorMode() != kModeEdit;
    if (!m_host.savePost(title, content))
        return;
    // Where the window put the post, when it says so.
    if (const int savedRow = m_host.selectedRow(); savedRow >= 0)
        row = savedRow;
    else if (adding)
        row = m_host.rowCount() - 1;

    m_host.selectRow(row);
    m_host.setEditorMode(kModeEdit);
    m_host.setStatusText(QStringLiteral("编辑"));
    m_stored = StoredPost{category, row, EncodePost(bytes(title), bytes(content))};
}
