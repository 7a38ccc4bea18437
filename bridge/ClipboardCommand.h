#pragma once
// Clipboard commands from the browser scripts: a keyword beginning with
// "BBSGET" and a payload. Parsing works on characters, so a cut never splits
// a Chinese character.
#include <QString>

enum class CommandKind { None, Image, Link, Title, Content, AllPictures };

struct ClipboardCommand {
    CommandKind kind = CommandKind::None;
    QString payload;
};

// Whether the text is for us at all.
bool IsClipboardCommand(const QString& text);

// The first of "BBSGETIMG:", "BBSGETHREF:", "BBSGETTITLE:", "BBSGETCONTENT:",
// "BBSGETALLPIC:" that occurs anywhere in the text wins; the payload is the
// text without as many leading characters as that keyword is long, wherever
// the keyword stands.
ClipboardCommand ParseClipboardCommand(const QString& text);

// The text without its first n characters (a character outside the basic
// plane is one character).
QString DropCharacters(const QString& text, int n);

// Image payload: the address runs up to the first "$SPLIT$"; without one it
// is empty.
QString ImageAddress(const QString& payload);

// Link payload: address up to the first "$SPLIT$", description after it to the
// end. Without a separator the address is empty and the description starts at
// the payload's seventh character. A blank description becomes the address.
struct LinkParts {
    QString address;
    QString description;
};
LinkParts SplitLinkPayload(const QString& payload);
