#pragma once
// The custom export dialog's kept state: section ExportRule of config.ini,
// key Rule (the rule text, each line break written as "%ODOA") and key
// Settings (1 = plain text mode, 0 = SQL mode).
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace ExportRule {

struct Values {
    QByteArray rule; // code-page bytes, lines joined by CR LF
    bool plainText = true;
};

// Every line break (CR LF, a lone CR, a lone LF) becomes "%ODOA", so the
// stored value is one line and reads back as the rule with CR LF breaks.
QByteArray encode(QByteArrayView rule);
// Every "%ODOA" becomes CR LF.
QByteArray decode(QByteArrayView stored);

Values load(const QString& iniPath);
// Throws VellumError when config.ini cannot be written.
void save(const QString& iniPath, const Values& values);

} // namespace ExportRule
