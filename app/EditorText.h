#pragma once
// The editor's text between its fields and a stored post: a title is one
// line, a memo holds LF between lines, a post CR LF.
#include <QString>
#include <QStringView>

namespace EditorText {
// Every line break of any kind (CR LF, lone CR, lone LF) becomes lineBreak.
QString withBreaks(const QString& text, QStringView lineBreak);
} // namespace EditorText
