#pragma once
// A post is stored as one line: title, "$TCSPLIT$", then the content with each
// line break written as "$1310$". All of it is code-page bytes.
#include <QByteArray>
#include <QByteArrayView>

inline constexpr char kPostSeparator[] = "$TCSPLIT$";
inline constexpr char kLineBreakToken[] = "$1310$";

// Each break of the content (CR LF, lone LF, lone CR) becomes one token.
QByteArray EncodeContent(const QByteArray& content);
QByteArray EncodePost(const QByteArray& title, const QByteArray& content);
// part 1 gives the title, any other part the content with tokens turned back
// into CR LF. Both are empty for a line without a separator.
QByteArray DecodePostPart(const QByteArray& line, int part);
// Title part for searching: the text before the first separator, or the whole
// line when there is none.
QByteArrayView TitleSearchPart(const QByteArray& line);
