#include "store/PostLine.h"

QByteArray EncodeContent(const QByteArray& content) {
    QByteArray out;
    out.reserve(content.size() + content.size() / 8);
    const char* p = content.constData();
    const qsizetype n = content.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = p[i];
        if (c == '\r') {
            if (i + 1 < n && p[i + 1] == '\n')
                ++i;
            out.append(kLineBreakToken);
        } else if (c == '\n') {
            out.append(kLineBreakToken);
        } else {
            out.append(c);
        }
    }
    return out;
}

QByteArray EncodePost(const QByteArray& title, const QByteArray& content) {
    QByteArray line = title;
    line.append(kPostSeparator);
    line.append(EncodeContent(content));
    return line;
}

QByteArray DecodePostPart(const QByteArray& line, int part) {
    const qsizetype sep = line.indexOf(kPostSeparator);
    if (sep < 0)
        return {};
    if (part == 1)
        return line.left(sep);
    QByteArray content = line.mid(sep + qsizetype(sizeof(kPostSeparator) - 1));
    content.replace(kLineBreakToken, "\r\n");
    return content;
}

QByteArrayView TitleSearchPart(const QByteArray& line) {
    const qsizetype sep = line.indexOf(kPostSeparator);
    return sep < 0 ? QByteArrayView(line) : QByteArrayView(line.constData(), sep);
}
