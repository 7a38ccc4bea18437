#include "platform/ClipboardText.h"

#include "platform/VellumError.h"
#include "platform/XSelectionReader.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {
QClipboard* clipboard() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance())
               ? QGuiApplication::clipboard()
               : nullptr;
}

// What the program itself last put on the clipboard.
struct OwnText {
    bool set = false;
    QString text;
};
OwnText& ownText() {
    static OwnText own;
    return own;
}

QString withoutNul(QString text) {
    text.remove(QChar(u'\0'));
    return text;
}
} // namespace

ClipboardText::ClipboardText() {
    QClipboard* cb = clipboard();
    if (!cb)
        return;
    m_connection = QObject::connect(cb, &QClipboard::changed, cb, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard)
            m_changed = true;
    });
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        auto reader = std::make_unique<XSelectionReader>();
        if (reader->isOpen())
            m_reader = std::move(reader);
    }
}

ClipboardText::~ClipboardText() {
    QObject::disconnect(m_connection);
}

bool ClipboardText::reading() const {
    return m_reader && m_reader->busy();
}

std::optional<ClipboardText::Read> ClipboardText::poll(int waitMs) {
    // While the program itself owns the clipboard, what is there is its own
    // (a post copied by PublishPost, a copy from the editor): never a command.
    if (QClipboard* cb = clipboard(); cb && cb->ownsClipboard() && !reading()) {
        m_changed = false;
        return std::nullopt;
    }
    if (m_reader) {
        // A read that finished between two polls is collected first.
        std::optional<XSelectionReader::Result> result = m_reader->take(0);
        if (!result && !m_reader->busy()) {
            if (!m_changed)
                return std::nullopt;
            // Cleared before reading: a change signalled while we read marks
            // the clipboard changed again, so nothing written later is missed.
            m_changed = false;
            m_reader->request();
        }
        if (!result)
            result = m_reader->take(waitMs);
        if (!result)
            return std::nullopt;
        switch (result->outcome) {
        case XSelectionReader::Outcome::Text:
            return filtered({Outcome::Text, withoutNul(result->text)});
        case XSelectionReader::Outcome::NoText:
            return Read{};
        case XSelectionReader::Outcome::Failed:
            m_changed = true;
            return Read{Outcome::Failed, {}};
        }
        return std::nullopt;
    }

    if (!m_changed)
        return std::nullopt;
    m_changed = false;
    QClipboard* cb = clipboard();
    const QMimeData* data = cb ? cb->mimeData(QClipboard::Clipboard) : nullptr;
    if (!data || !data->hasText())
        return Read{};
    return filtered({Outcome::Text, withoutNul(data->text())});
}

ClipboardText::Read ClipboardText::filtered(Read read) {
    if (isOwnText(read.text))
        return Read{};
    ownText().set = false;
    if (m_emptiedAt.isValid() && m_emptiedAt.elapsed() < kReturnWindowMs &&
        read.text == m_emptiedText)
        return Read{};
    return read;
}

void ClipboardText::clear(const QString& emptiedText) {
    m_emptiedText = emptiedText;
    m_emptiedAt.start();
    if (m_reader) {
        if (!m_reader->clear())
            throw VellumError(QStringLiteral("无法清空剪贴板：另一个程序仍占用着它。"));
        return;
    }
    if (QClipboard* cb = clipboard())
        cb->clear(QClipboard::Clipboard);
}

void ClipboardText::write(const QString& text) {
    OwnText& own = ownText();
    own.set = true;
    own.text = withoutNul(text);
    if (QClipboard* cb = clipboard())
        cb->setText(text, QClipboard::Clipboard);
}

bool ClipboardText::isOwnText(const QString& text) {
    const OwnText& own = ownText();
    return own.set && own.text == text;
}
