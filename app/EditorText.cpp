#include "app/EditorText.h"

#include <algorithm>

namespace EditorText {

// One pass, as the content can be megabytes.
QString withBreaks(const QString& text, QStringView lineBreak) {
    const auto isBreak = [](QChar c) { return c == u'\n' || c == u'\r'; };
    const qsizetype breaks = std::count_if(text.cbegin(), text.cend(), isBreak);
    if (breaks == 0)
        return text;
    QString out;
    out.reserve(text.size() + breaks * (lineBreak.size() - 1));
    const QChar* run = text.constData();
    const QChar* const end = run + text.size();
    for (const QChar* p = run; p < end; ++p) {
        if (!isBreak(*p))
            continue;
        out.append(run, p - run);
        out.append(lineBreak);
        if (*p == u'\r' && p + 1 < end && p[1] == u'\n')
            ++p;
        run = p + 1;
    }
    out.append(run, end - run);
    return out;
}

} // namespace EditorText
