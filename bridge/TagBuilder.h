#pragma once
// Captured and inserted addresses enter the content as forum markup: a UBB tag
// built from the user's templates, or a fixed HTML tag. Tags are code-page
// bytes like the templates they come from.
#include "settings/SettingsMirror.h"

#include <QByteArray>
#include <QString>

class QPlainTextEdit;

enum class TagKind { Link, Image, Flash, Real, Media };

// The UBB template of a kind (UBBUrl, UBBImg, UBBFlash, UBBRm, UBBMp).
QByteArray UbbTemplate(TagKind kind, const TSettingsMirror& settings);

// Link, Image: first = address, second = description.
// Flash, Real, Media: first = size text "width,height", second = address.
QByteArray MakeUbbTag(TagKind kind, const QByteArray& first, const QByteArray& second,
                      const TSettingsMirror& settings);
// Link and Image only; other kinds give an empty text. The address is
// percent-encoded where it holds blanks, quotes or angle brackets, and the
// description's "<", ">" and "&" become entities, so a captured text never
// becomes markup of its own.
QByteArray MakeHtmlTag(TagKind kind, const QByteArray& address, const QByteArray& description);

// The size text split at its first ",": width before it, at most five
// characters after it as the height. Without a comma the width is empty and the
// height is the first five characters.
struct MediaSize {
    QByteArray width;
    QByteArray height;
};
MediaSize SplitSizeText(const QByteArray& size);

// The first n characters of GB18030 text (a Chinese character or an emoji is
// one character, never cut in half; a stray byte counts as one).
QByteArray LeftCharacters(const QByteArray& text, int n);

// Whether the address already stands anywhere in the content (case-sensitive,
// by characters). An empty address never counts as present.
bool ContentHoldsAddress(const QString& content, const QString& address);

// The content with the text added as a new last line. Line breaks of the text
// (CR LF, CR, LF) become lines of their own.
QString ContentWithLine(const QString& content, const QString& line);

// Adds the text as a new last line of the memo: never at the caret, never over
// a selection.
void AppendContentLine(QPlainTextEdit* memo, const QString& line);
void AppendContentLine(QPlainTextEdit* memo, const QByteArray& line);

// Appends the UBB image tag of the address unless the memo already holds the
// address. Always the UBB form, whatever the conversion settings. Returns
// whether a line was added.
bool InsertImageAddress(QPlainTextEdit* memo, const QByteArray& address,
                        const TSettingsMirror& settings);
