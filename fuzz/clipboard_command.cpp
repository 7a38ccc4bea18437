// Clipboard texts that any web page can put there: the command parser and the
// tags built from its payload in the three conversion modes (bare address,
// UBB, HTML). An HTML tag holds exactly the one element it is meant to, however
// the address and the description are made.
#include "FuzzSupport.h"
#include "bridge/ClipboardCommand.h"
#include "bridge/TagBuilder.h"
#include "platform/AnsiCodePage.h"

#include <QRegularExpression>

namespace {
TSettingsMirror DefaultTemplates() {
    TSettingsMirror s;
    s.UBBUrl = "[url=$1]$2[/url]";
    s.UBBImg = "[img]$1[/img]";
    s.UBBFlash = "[flash=$1,$2]$3[/flash]";
    s.UBBRm = "[rm=$1,$2]$3[/rm]";
    s.UBBMp = "[wmv=$1,$2]$3[/wmv]";
    return s;
}

void CheckHtml(TagKind kind, const QByteArray& address, const QByteArray& description) {
    static const QRegularExpression link(
        QStringLiteral(R"(\A<a href=[^\s"'<>]* target=_blank>[^<>]*</a>\z)"));
    static const QRegularExpression image(QStringLiteral(R"(\A<img src=[^\s"'<>]* border=0>\z)"));
    const QByteArray tag = MakeHtmlTag(kind, address, description);
    // Latin-1 keeps every byte one character, so the check sees the bytes.
    const QString text = QString::fromLatin1(tag);
    FUZZ_CHECK((kind == TagKind::Link ? link : image).match(text).hasMatch(), tag, address);
}

void CheckCharacters(const QByteArray& text) {
    // LeftCharacters cuts between characters only.
    for (int n : {0, 1, 5}) {
        const QByteArray left = LeftCharacters(text, n);
        FUZZ_CHECK(text.startsWith(left));
        qsizetype pos = 0, count = 0;
        while (pos < left.size()) {
            pos += AnsiCodePage::characterLength(text, pos);
            ++count;
        }
        FUZZ_CHECK(pos == left.size() && count <= n, text, left);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const TSettingsMirror settings = DefaultTemplates();
    const QByteArray raw(reinterpret_cast<const char*>(data), qsizetype(size));
    // The poll reads text from the clipboard; the host's socket hands UTF-8.
    const QString text = WithoutNul(QString::fromUtf8(raw));
    FUZZ_CHECK(!text.contains(QChar(0)));

    const ClipboardCommand command = ParseClipboardCommand(text);
    if (command.kind != CommandKind::None)
        FUZZ_CHECK(IsClipboardCommand(text));
    if (!IsClipboardCommand(text))
        FUZZ_CHECK(command.kind == CommandKind::None);
    FUZZ_CHECK(text.endsWith(command.payload));

    const QString dropped = DropCharacters(command.payload, 6);
    FUZZ_CHECK(command.payload.endsWith(dropped));

    QByteArray address;
    QByteArray description;
    TagKind kind = TagKind::Image;
    if (command.kind == CommandKind::Link) {
        const LinkParts link = SplitLinkPayload(command.payload);
        FUZZ_CHECK(command.payload.contains(link.address));
        address = AnsiCodePage::fromUnicode(link.address);
        description = AnsiCodePage::fromUnicode(link.description);
        kind = TagKind::Link;
    } else {
        const QString image = ImageAddress(command.payload);
        FUZZ_CHECK(command.payload.startsWith(image));
        address = AnsiCodePage::fromUnicode(image);
        // Any payload, as an insertion dialog or picture list would pass it.
        if (command.kind == CommandKind::None)
            address = raw;
    }
    // Convert2UBB: the template filled in; plain text holds no placeholder.
    const QByteArray ubb = MakeUbbTag(kind, address, description, settings);
    if (!address.contains('$') && !description.contains('$'))
        FUZZ_CHECK(ubb == (kind == TagKind::Link ? "[url=" + address + "]" + description + "[/url]"
                                                 : "[img]" + address + "[/img]"),
                   ubb);
    // HTML: one element whatever the texts hold.
    CheckHtml(TagKind::Link, address, description);
    CheckHtml(TagKind::Image, address, description);
    // Media tags and the size text.
    for (TagKind media : {TagKind::Flash, TagKind::Real, TagKind::Media}) {
        const QByteArray tag = MakeUbbTag(media, address, description, settings);
        FUZZ_CHECK(!tag.isEmpty());
    }
    const MediaSize wh = SplitSizeText(address);
    CheckCharacters(address);
    FUZZ_CHECK(address.contains(wh.height));

    // The content gains exactly one new last line for a line without breaks.
    const QString line = AnsiCodePage::toUnicode(ubb);
    const QString content = ContentWithLine(text, line);
    FUZZ_CHECK(content.endsWith(QString(line)
                                    .replace(QLatin1String("\r\n"), QLatin1String("\n"))
                                    .replace(QLatin1Char('\r'), QLatin1Char('\n'))));
    return 0;
}
