#pragma once
// Remote submission: the checks before a post is sent, and the form that
// carries it. Plain functions on code-page bytes, free of widgets.
#include "net/HttpTransfer.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The message that refuses the submission, or an empty string when the
// address, title and content allow it. The address is taken as stored.
QString CheckSubmission(const QByteArray& address, const QString& title, const QString& content);

// Every CR LF, then every lone LF, then every lone CR becomes "%0D%0A".
QByteArray RewriteLineBreaks(const QByteArray& content);

// "subject=", "content=" (line breaks rewritten) and "class=" lines, in the
// code page.
QList<QByteArray> SubmissionParameters(const QString& title, const QString& content,
                                       const QString& category);

// Each "name=value" line with its value escaped (space as "+", letters and
// digits kept, every other byte as "%XX"), each line followed by "&".
QByteArray EncodeFormBody(const QList<QByteArray>& lines);

// What the status bar says after the server answered: "已提交" for a 2xx
// or 3xx answer, "提交失败：" and the reason otherwise.
struct SubmissionOutcome {
    bool accepted = false;
    QString text;
};
SubmissionOutcome JudgeSubmission(const Http::Result& result);
