#pragma once
// The start of an installed Vellum: the user's program folder is made from
// the shipped defaults, and at the first start the posts of a folder used
// before the installation (~/Vellum) are offered for copying. The old folder
// is only read, whatever the answer.
#include <QString>

class QWidget;

namespace InstalledStart {
// Problems are shown in message boxes; the start goes on after them.
// offerPrevious: whether a first start may offer an older folder's posts.
void prepare(QWidget* owner, const QString& programDir, const QString& sharedDir,
             bool offerPrevious);
} // namespace InstalledStart
