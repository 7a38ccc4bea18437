#pragma once
// Find and replace-all for the content editor. Only the Latin letters a to z
// match regardless of case; every other character, Chinese or Cyrillic, must
// match exactly. Works on characters, so a match never starts or ends inside
// a character.
#include <QString>

// The first position at or after start where needle stands in text, ignoring
// the case of a to z; 0 when there is none. Positions count QString units from
// 1 (an emoji takes two). An empty needle is never found.
qsizetype PosNoCase(qsizetype start, const QString& needle, const QString& text);

// Every occurrence of needle replaced, left to right; the search goes on after
// each inserted replacement, so a replacement that holds the needle is never
// searched again. One pass over the text, however many matches.
// count, when given, receives the number of occurrences replaced.
QString ReplaceAllNoCase(const QString& text, const QString& needle, const QString& replacement,
                         qsizetype* count = nullptr);
