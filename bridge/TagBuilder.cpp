#include "bridge/TagBuilder.h"

#include "platform/AnsiCodePage.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

QString normalisedBreaks(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// An address goes into an unquoted attribute: anything that would end the
// attribute or the tag is percent-encoded. These bytes never occur inside a
// GB18030 character, so the text's characters stay whole.
QByteArray attributeAddress(const QByteArray& address) {
    QByteArray out;
    out.reserve(address.size());
    for (const char ch : address) {
        const auto b = static_cast<unsigned char>(ch);
        if (b <= 0x20 || b == 0x7f || ch == '"' || ch == '\'' || ch == '<' || ch == '>') {
            static const char hex[] = "0123456789ABCDEF";
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 0x0f];
        } else {
            out += ch;
        }
    }
    return out;
}

// A link text is element content: markup in it shows as text.
QByteArray elementText(const QByteArray& text) {
    QByteArray out = text;
    out.replace("&", "&amp;");
    out.replace("<", "&lt;");
    out.replace(">", "&gt;");
    return out;
}

} // namespace

QByteArray UbbTemplate(TagKind kind, const TSettingsMirror& settings) {
    switch (kind) {
    case TagKind::Link:
        return settings.UBBUrl;
    case TagKind::Image:
        return settings.UBBImg;
    case TagKind::Flash:
        return settings.UBBFlash;
    case TagKind::Real:
        return settings.UBBRm;
    case TagKind::Media:
        return settings.UBBMp;
    }
    return {};
}

QByteArray LeftCharacters(const QByteArray& text, int n) {
    const qsizetype size = text.size();
    qsizetype pos = 0;
    for (int i = 0; i < n && pos < size; ++i)
        pos += AnsiCodePage::characterLength(text, pos);
    return text.left(pos);
}

MediaSize SplitSizeText(const QByteArray& size) {
    // ',' is never part of a multi-byte GB18030 character, so a byte search is safe.
    const qsizetype comma = size.indexOf(',');
    if (comma < 0)
        return {QByteArray(), LeftCharacters(size, 5)};
    return {size.left(comma), LeftCharacters(size.mid(comma + 1), 5)};
}

QByteArray MakeUbbTag(TagKind kind, const QByteArray& first, const QByteArray& second,
                      const TSettingsMirror& settings) {
    // '$' is never a byte of a multi-byte character, so "$n" matches whole
    // characters only. Each replacement runs over the result of the one before.
    QByteArray tag = UbbTemplate(kind, settings);
    switch (kind) {
    case TagKind::Link:
    case TagKind::Image:
        tag.replace("$1", first);
        tag.replace("$2", second);
        break;
    case TagKind::Flash:
    case TagKind::Real:
    case TagKind::Media: {
        const MediaSize wh = SplitSizeText(first);
        tag.replace("$1", wh.width);
        tag.replace("$2", wh.height);
        tag.replace("$3", second);
        break;
    }
    }
    return tag;
}

QByteArray MakeHtmlTag(TagKind kind, const QByteArray& address, const QByteArray& description) {
    if (kind != TagKind::Link && kind != TagKind::Image)
        return {};
    // The description replaces a "$2" of the address too, as the template's
    // substitutions run one over the other; there it is encoded like the
    // address, or its blanks and quotes would open attributes of their own.
    QByteArray href = attributeAddress(address);
    href.replace("$2", attributeAddress(description));
    if (kind == TagKind::Image)
        return "<img src=" + href + " border=0>";
    return "<a href=" + href + " target=_blank>" + elementText(description) + "</a>";
}

bool ContentHoldsAddress(const QString& content, const QString& address) {
    return !address.isEmpty() && content.contains(address, Qt::CaseSensitive);
}

QString ContentWithLine(const QString& content, const QString& line) {
    const QString text = normalisedBreaks(line);
    if (content.isEmpty())
        return text;
    if (content.endsWith(QLatin1Char('\n')))
        return content + text;
    return content + QLatin1Char('\n') + text;
}

void AppendContentLine(QPlainTextEdit* memo, const QString& line) {
    if (!memo)
        return;
    // A cursor of our own at the end: the user's caret and selection stay.
    QTextDocument* doc = memo->document();
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    QString insert = normalisedBreaks(line);
    // The text ends with a line break exactly when its last block is empty;
    // asking the block spares a copy of a content of megabytes.
    if (!doc->isEmpty() && !doc->lastBlock().text().isEmpty())
        insert.prepend(QLatin1Char('\n'));
    cursor.insertText(insert);
}

void AppendContentLine(QPlainTextEdit* memo, const QByteArray& line) {
    AppendContentLine(memo, AnsiCodePage::toUnicode(line));
}

bool InsertImageAddress(QPlainTextEdit* memo, const QByteArray& address,
                        const TSettingsMirror& settings) {
    if (!memo)
        return false;
    if (ContentHoldsAddress(memo->toPlainText(), AnsiCodePage::toUnicode(address)))
        return false;
    AppendContentLine(memo, MakeUbbTag(TagKind::Image, address, QByteArray(), settings));
    return true;
}
