#include "net/RemoteSubmission.h"

#include "platform/AnsiCodePage.h"

QString CheckSubmission(const QByteArray& address, const QString& title, const QString& content) {
    if (address.isEmpty())
        return QStringLiteral("您还没有设置数据提交地址！");
    if (!address.toLower().startsWith("http"))
        return QStringLiteral("无效的数据提交地址！");
    if (title.isEmpty() || content.isEmpty())
        return QStringLiteral("请选择您要发布的帖子！");
    return {};
}

QByteArray RewriteLineBreaks(const QByteArray& content) {
    QByteArray text = content;
    text.replace("\r\n", "%0D%0A");
    text.replace('\n', "%0D%0A");
    text.replace('\r', "%0D%0A");
    return text;
}

QList<QByteArray> SubmissionParameters(const QString& title, const QString& content,
                                       const QString& category) {
    return {"subject=" + AnsiCodePage::fromUnicode(title),
            "content=" + RewriteLineBreaks(AnsiCodePage::fromUnicode(content)),
            "class=" + AnsiCodePage::fromUnicode(category)};
}

QByteArray EncodeFormBody(const QList<QByteArray>& lines) {
    static const char kHex[] = "0123456789ABCDEF";
    QByteArray body;
    for (const QByteArray& line : lines) {
        const qsizetype eq = line.indexOf('=');
        if (eq < 0) {
            body += line;
        } else {
            body += line.left(eq + 1);
            for (qsizetype i = eq + 1; i < line.size(); ++i) {
                const auto c = static_cast<unsigned char>(line[i]);
                if (c == ' ')
                    body += '+';
                else if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
                    body += static_cast<char>(c);
                else {
                    body += '%';
                    body += kHex[c >> 4];
                    body += kHex[c & 0x0F];
                }
            }
        }
        body += '&';
    }
    return body;
}

SubmissionOutcome JudgeSubmission(const Http::Result& result) {
    // A form post is usually answered with a redirect once it was taken.
    if (result.error == Http::Error::None && result.status >= 200 && result.status < 400)
        return {true, QStringLiteral("已提交")};
    return {false, QStringLiteral("提交失败：") + Http::Describe(result)};
}
