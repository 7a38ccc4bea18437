#pragma once
// Other writers of the category files: a category that a sync tool, an editor
// or another instance changed is merged into the store, and the window
// follows: the list shows the new posts, the selected post stays selected
// where it still exists, the editor keeps its text. Conflict copies left by
// sync tools are offered for merging.
#include "store/TDateMan.h"

#include <QObject>
#include <QStringList>

#include <functional>

class CategoryWatcher;
class TFrmMain;

class OutsideChangeFollower : public QObject {
    Q_OBJECT
  public:
    // Starts watching the window's store; isSaving tells whether the
    // program's own save is writing the files right now.
    OutsideChangeFollower(TFrmMain& window, std::function<bool()> isSaving);

  private:
    void follow(const TDateMan::OutsideChange& change);
    void offerConflictCopies(const QStringList& paths);

    TFrmMain& m_win;
    CategoryWatcher* m_watcher = nullptr;
    QStringList m_pendingCopies;
    bool m_offeringCopy = false;
};
