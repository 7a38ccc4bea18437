#pragma once
// The shared text block "MapString": a 100,000-byte file in the runtime
// folder, mapped shared, from which the browser's "set" pages take the post
// being edited. The text is NUL-terminated GB18030: "BBSSETTEXT:" + title +
// "$TCSPLIT$" + content. Readers stop at the first NUL; bytes after it are
// left over from earlier, longer texts.
#include <QByteArray>
#include <QString>

#include <optional>

class SharedTextBlock {
  public:
    static constexpr qsizetype Size = 100000;
    // Longest text the block holds; the NUL takes the last byte.
    static constexpr qsizetype MaxText = Size - 1;

    // runtimeDir empty: Paths::runtimeDir() at the first publish.
    explicit SharedTextBlock(const QString& runtimeDir = QString());
    // Unmaps the block, and removes its file when this holder created it;
    // readers that hold it open keep what they have.
    ~SharedTextBlock();
    SharedTextBlock(const SharedTextBlock&) = delete;
    SharedTextBlock& operator=(const SharedTextBlock&) = delete;

    // Creates (or opens) and maps the block at the first call, then writes the
    // text from byte 0. Throws VellumError("无法把当前帖子交给浏览器…") when the
    // block cannot be created or mapped; nothing is written then.
    void publish(const QByteArray& title, const QByteArray& content);

    bool isMapped() const { return m_view != nullptr; }

    // Removes a block that a killed instance left in the runtime folder; only
    // the single running instance may call it.
    static void removeLeftOver(const QString& runtimeDir);
    // Full path of the block's file (known after the first publish).
    QString path() const { return m_path; }

    // The text that publish writes, before its NUL: cut at a character
    // boundary to at most MaxText bytes.
    static QByteArray blockText(const QByteArray& title, const QByteArray& content);
    // Length of the longest prefix of text, at most limit bytes, that ends on
    // a GB18030 character boundary.
    static qsizetype characterBoundary(const QByteArray& text, qsizetype limit);

    // The reader's side, for helpers in other processes.
    struct Post {
        QByteArray title;
        QByteArray content;
    };
    // The block's text up to its first NUL; nullopt when no block has been
    // published in runtimeDir (no file) or it cannot be read.
    static std::optional<QByteArray> readText(const QString& runtimeDir);
    // Title: between "BBSSETTEXT:" and the first "$TCSPLIT$"; content: after
    // that separator. A text without the prefix or the separator holds no post.
    static std::optional<Post> splitText(const QByteArray& text);

  private:
    void open();

    QString m_runtimeDir;
    QString m_path;
    int m_fd = -1;
    char* m_view = nullptr;
    bool m_created = false;
};
