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
} // namespace AnsiCodePage
