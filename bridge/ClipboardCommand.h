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

// The text without its NUL characters: the X clipboard can carry them, and
// one in a post would cut its category file short.
QString WithoutNul(QString text);

// Whether the text is for us at all: it starts with "BBSGET" after leading
// blanks. A text that merely mentions a keyword further on is ordinary text.
bool IsClipboardCommand(const QString& text);

// The keyword at the start of the text (after leading blanks) decides,
// whatever the text holds after it: "BBSGETIMG:", "BBSGETHREF:",
// "BBSGETTITLE:", "BBSGETCONTENT:" or "BBSGETALLPIC:", and the payload is the
// rest of the text. Any other text, "BBSGET" alone included, is kind None.
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
