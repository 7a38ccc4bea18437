#pragma once
// The rescue folder: when the session ends (a signal, the log-out) and some
// categories could not be saved, their posts are written to
// $XDG_STATE_HOME/vellum/rescue/<date-time>/DateN.dat instead (or, where that
// cannot be written, under /var/tmp/vellum-<uid>/), so nothing the program
// knew of is lost. The next start names each new rescue folder once.
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class TDateMan;

namespace Rescue {
// The places a rescue folder goes, in order of preference.
QStringList defaultBases();
// The file that holds the editor's unsaved post: a data file of one post line,
// which "导入数据..." takes back.
inline const QString kEditorFile = QStringLiteral("未保存的帖子.qre");
// Writes the categories, and the editor's post line when it is not empty, to
// a new folder <base>/<yyyy-MM-dd_HH-mm-ss>/ under the first base that takes
// them (folders mode 0700). Returns the folder. Throws VellumError when no
// base could take them.
QString write(const TDateMan& store, const QList<int>& categories,
              const QStringList& bases = defaultBases(),
              const QDateTime& when = QDateTime::currentDateTime(),
              const QByteArray& editorPost = {});
// Rescue folders that no start has named yet; they count as named from now on.
QStringList takeUnannounced(const QStringList& bases = defaultBases());
} // namespace Rescue
