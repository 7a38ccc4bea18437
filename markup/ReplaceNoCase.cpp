#include "markup/ReplaceNoCase.h"

#include <QStringMatcher>

namespace {

// a-z to A-Z, nothing else: the positions of the folded copy are those of the
// original, so a plain search in the copy finds the matches of the original.
QString foldLatin(const QString& text) {
    QString folded = text;
    char16_t* p = reinterpret_cast<char16_t*>(folded.data());
    const char16_t* end = p + folded.size();
    for (; p != end; ++p)
        if (*p >= u'a' && *p <= u'z')
            *p = char16_t(*p - (u'a' - u'A'));
    return folded;
}

} // namespace

qsizetype PosNoCase(qsizetype start, const QString& needle, const QString& text) {
    if (needle.isEmpty() || start < 1 || start > text.size())
        return 0;
    const QStringMatcher matcher(foldLatin(needle), Qt::CaseSensitive);
    const qsizetype found = matcher.indexIn(foldLatin(text), start - 1);
    return found < 0 ? 0 : found + 1;
}

QString ReplaceAllNoCase(const QString& text, const QString& needle, const QString& replacement,
                         qsizetype* count) {
    if (count)
        *count = 0;
    if (needle.isEmpty())
        return text;
    const QString folded = foldLatin(text);
    const QStringMatcher matcher(foldLatin(needle), Qt::CaseSensitive);
    QString out;
    qsizetype copied = 0;
    for (qsizetype found = matcher.indexIn(folded, 0); found >= 0;
         found = matcher.indexIn(folded, copied)) {
        out.append(QStringView(text).mid(copied, found - copied));
        out.append(replacement);
        copied = found + needle.size();
        if (count)
            ++*count;
    }
    if (copied == 0)
        return text;
    out.append(QStringView(text).mid(copied));
    return out;
}
