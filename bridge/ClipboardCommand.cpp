#include "bridge/ClipboardCommand.h"

#include <QStringView>

namespace {
const QLatin1String kSplit("$SPLIT$");

struct Keyword {
    QLatin1String text;
    CommandKind kind;
};

const Keyword kKeywords[] = {
    {QLatin1String("BBSGETIMG:"), CommandKind::Image},
    {QLatin1String("BBSGETHREF:"), CommandKind::Link},
    {QLatin1String("BBSGETTITLE:"), CommandKind::Title},
    {QLatin1String("BBSGETCONTENT:"), CommandKind::Content},
    {QLatin1String("BBSGETALLPIC:"), CommandKind::AllPictures},
};

// Blank in the platform's sense of trimming: spaces and control characters.
bool isBlank(QChar c) {
    return c.unicode() <= 0x20;
}

bool isBlankText(const QString& text) {
    for (QChar c : text)
        if (!isBlank(c))
            return false;
    return true;
}
} // namespace

QString WithoutNul(QString text) {
    text.remove(QChar(u'\0'));
    return text;
}

namespace {
QStringView afterLeadingBlanks(const QString& text) {
    qsizetype start = 0;
    while (start < text.size() && isBlank(text.at(start)))
        ++start;
    return QStringView(text).mid(start);
}
} // namespace

bool IsClipboardCommand(const QString& text) {
    return afterLeadingBlanks(text).startsWith(QLatin1String("BBSGET"), Qt::CaseSensitive);
}

QString DropCharacters(const QString& text, int n) {
    qsizetype pos = 0;
    for (int i = 0; i < n && pos < text.size(); ++i) {
        if (text.at(pos).isHighSurrogate() && pos + 1 < text.size() &&
            text.at(pos + 1).isLowSurrogate())
            pos += 2;
        else
            pos += 1;
    }
    return text.mid(pos);
}

ClipboardCommand ParseClipboardCommand(const QString& text) {
    const QStringView command = afterLeadingBlanks(text);
    for (const Keyword& k : kKeywords) {
        if (command.startsWith(k.text, Qt::CaseSensitive))
            return {k.kind, command.mid(k.text.size()).toString()};
    }
    return {};
}

QString ImageAddress(const QString& payload) {
    const qsizetype split = payload.indexOf(kSplit);
    return split < 0 ? QString() : payload.left(split);
}

LinkParts SplitLinkPayload(const QString& payload) {
    LinkParts parts;
    const qsizetype split = payload.indexOf(kSplit);
    if (split < 0) {
        parts.description = DropCharacters(payload, int(kSplit.size()) - 1);
    } else {
        parts.address = payload.left(split);
        parts.description = payload.mid(split + kSplit.size());
    }
    if (isBlankText(parts.description))
        parts.description = parts.address;
    return parts;
}
