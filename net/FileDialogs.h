#pragma once
// The file dialogs of data exchange. The platform's dialog may ignore the
// default suffix, so it is added here to a name typed without one. Tests
// answer through a seam instead of the dialog.
#include <QString>

#include <functional>

class QWidget;

namespace FileDialogs {

struct Request {
    bool save = false;
    QString objectName; // the dialog's name, e.g. "SaveDialogExport"
    QString filter;     // "description(*.ext)"
    QString defaultSuffix;
};
// Gives the chosen path for a request; an empty path is a cancel.
using Answer = std::function<QString(const Request&)>;
// Replaces the dialogs with answer; an empty function brings them back.
void setAnswer(Answer answer);

// Save dialog: an existing file is replaced without asking.
QString getSaveFileName(QWidget* parent, const QString& objectName, const QString& filter,
                        const QString& defaultSuffix);
// Open dialog: the typed file does not have to exist.
QString getOpenFileName(QWidget* parent, const QString& objectName, const QString& filter);

// path with "." + suffix added when its name has no extension.
QString withDefaultSuffix(const QString& path, const QString& suffix);

} // namespace FileDialogs
