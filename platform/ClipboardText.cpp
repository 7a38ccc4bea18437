#include "platform/ClipboardText.h"

#include "platform/AnsiCodePage.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {
QClipboard* clipboard() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance())
               ? QGuiApplication::clipboard()
               : nullptr;
}
} // namespace

ClipboardText::ClipboardText() {
    if (QClipboard* cb = clipboard()) {
        m_connection =
            QObject::connect(cb, &QClipboard::changed, cb, [this](QClipboard::Mode mode) {
                if (mode == QClipboard::Clipboard)
                    m_changed = true;
            });
    }
}

ClipboardText::~ClipboardText() {
    QObject::disconnect(m_connection);
}

QByteArray ClipboardText::read() {
    // Cleared before reading: a change signalled while or after we read marks
    // the clipboard changed again, so nothing written later is missed.
    m_changed = false;
    return text();
}

bool ClipboardText::hasText() {
    QClipboard* cb = clipboard();
    if (!cb)
        return false;
    const QMimeData* data = cb->mimeData(QClipboard::Clipboard);
    return data && data->hasText();
}

QByteArray ClipboardText::text() {
    QClipboard* cb = clipboard();
    if (!cb)
        return {};
    return AnsiCodePage::fromUnicode(cb->text(QClipboard::Clipboard));
}

void ClipboardText::clear() {
    if (QClipboard* cb = clipboard())
        cb->clear(QClipboard::Clipboard);
}

void ClipboardText::write(const QByteArray& text) {
    if (QClipboard* cb = clipboard())
        cb->setText(AnsiCodePage::toUnicode(text), QClipboard::Clipboard);
}
