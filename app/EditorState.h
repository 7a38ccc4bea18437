#pragma once
// The editor's state: which stored post the title field and the memo show (or
// that they hold a new post), whether their text differs from it, and what
// each command does with that. Nothing typed is dropped without the user's
// word: every command that would replace unsaved text asks first, and Save
// always stores the editor's post, replacing the post it shows or adding a new
// one. Plain code; the window carries out the steps on its widgets and store.
//
// State × action → result. "Typed": the title or the content differ from the
// stored post shown, or hold any text when no stored post is shown.
//
// clang-format off
// | state               | Save                 | New, a row, a tab, | next-post  | title captured |
// |                     |                      | delete, import,    | message    |                |
// |                     |                      | find, undo, close  |            |                |
// |---------------------|----------------------|--------------------|------------|----------------|
// | nothing typed       | refuse: empty title  | go on              | advance    | ADD; content   |
// |                     |                      |                    |            | may be emptied |
// | new post, typed     | add; EDIT on its row | ask 保存/不保存/取消 | save, then | ADD; typed     |
// |                     |                      |                    | advance    | content stays  |
// | stored post, as is  | replace the same row | go on              | advance    | ADD; content   |
// |                     |                      |                    |            | may be emptied |
// | stored post, edited | replace the same row | ask 保存/不保存/取消 | save, then | ADD; typed     |
// |                     |                      |                    | advance    | content stays  |
// clang-format on
//
// A Save that the checks refuse (empty title or content, the separator in the
// title) stores nothing and says why; after 保存 in the question a refusal
// stops the command. The next-post message never asks: when its save is
// refused the editor stays as it is and the status bar says so. The stored
// post is replaced only where it still stands as it was loaded; a post that
// changed under the editor is never overwritten, the editor's post is added.
#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

class EditorState {
  public:
    enum class Mode { Empty, Add, Edit };
    // The commands that would replace or remove the editor's text.
    enum class Action {
        Save,
        New,
        Load,
        TabSwitch,
        Delete,
        Import,
        Close,
        NextPost,
        TitleCaptured
    };

    enum class Answer { Save, Discard, Cancel };

    // Where Save puts the editor's post.
    struct SavePlan {
        enum class Kind { RefuseEmptyTitle, RefuseEmptyContent, Add, Replace } kind;
        int category = -1; // Replace only
        int row = -1;      // Replace only
    };

    Mode mode() const { return m_mode; }
    // "", "ADD" or "EDIT", as the capture commands name the modes.
    QString modeName() const;
    void setModeName(const QString& name);
    // Status bar panel 0: "编辑" for a stored post, "新建" for a new one.
    QString statusLabel() const;

    bool capturedTitle() const { return m_capturedTitle; }
    void setCapturedTitle(bool on) { m_capturedTitle = on; }

    // The stored post shown, if any.
    bool tied() const { return m_tie.has_value(); }
    int tiedCategory() const { return m_tie ? m_tie->category : -1; }
    int tiedRow() const { return m_tie ? m_tie->row : -1; }
    // The post line as it was loaded or stored.
    QByteArray tiedLine() const { return m_tie ? m_tie->line : QByteArray(); }
    // Where the stored post shown stands among its category's records now:
    // rows before it may have come or gone (an undone deletion, a change from
    // outside), so the same post further up or down is still the one shown.
    std::optional<int> rowAmong(const QList<QByteArray>& records) const;

    // The editor's texts (as the widgets hold them) differ from the stored
    // post, or hold anything for a post that is not stored.
    bool unsaved(const QString& title, const QString& content) const;
    bool contentUnsaved(const QString& content) const { return content != m_baseContent; }
    // A content whose length differs from the stored one is unsaved whatever
    // it holds: answered without the text of a long content.
    bool contentLengthDiffers(qsizetype length) const { return length != m_baseContent.size(); }
    // The command must ask before it goes on.
    bool mustAsk(Action action, const QString& title, const QString& content) const;

    // What Save does with the texts it stores. rowNow is the row where the
    // post shown stands now (nullopt when it is no longer stored as loaded).
    SavePlan planSave(const QString& title, const QString& content,
                      std::optional<int> rowNow) const;

    // --- What happened to the editor --------------------------------------
    // A stored post was loaded, or the editor's post was stored there.
    void showStored(int category, int row, const QByteArray& line, const QString& title,
                    const QString& content);
    // 新建: an empty new post.
    void startNew();
    // A title came from the browser: a new post, whatever the editor shows.
    void startCapturedPost();
    // The editor was emptied and shows no post (a deletion, a move of the
    // post it showed, a tab switch to a list without selection).
    void clear();

  private:
    struct Tie {
        int category;
        int row;
        QByteArray line;
    };
    Mode m_mode = Mode::Empty;
    bool m_capturedTitle = false;
    std::optional<Tie> m_tie;
    QString m_baseTitle;
    QString m_baseContent;
};
