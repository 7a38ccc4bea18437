#include "platform/SingleLineEdit.h"

#include <QLineEdit>

void KeepSingleLine(QLineEdit* edit) {
    // Once per field, however many owners ask.
    if (!edit || edit->property("vellumSingleLine").toBool())
        return;
    edit->setProperty("vellumSingleLine", true);
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& text) {
        if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
            return;
        int caret = edit->cursorPosition();
        QString line;
        line.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
                if (i < caret)
                    --caret;
                continue;
            }
            line += c;
        }
        edit->setText(line);
        edit->setCursorPosition(caret);
    });
}
