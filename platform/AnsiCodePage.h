#pragma once
// The one place where widget text (QString) meets the stored bytes. Every file,
// the shared block and the clipboard exchange hold GB18030 text: identical to
// GBK for every GBK character and able to hold any Unicode character.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace AnsiCodePage {
QByteArray fromUnicode(const QString& text);
// Undecodable bytes become U+FFFD; the bytes in the store stay untouched.
QString toUnicode(QByteArrayView bytes);
// Bytes taken by the character that starts at text[pos]: one for ASCII, two
// or four for a GB18030 sequence. A byte that starts no valid sequence counts
// as a character of its own.
qsizetype characterLength(QByteArrayView text, qsizetype pos);
} // namespace AnsiCodePage
