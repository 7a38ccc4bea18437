#pragma once
// Saves changed categories in the background, so a crash, a kill or a power
// cut loses at most the last few seconds of work. A category is written at
// most delayMs after its first unsaved change, however many changes follow
// (a stream of captures cannot put it off). The writing runs on a worker
// thread with the store's atomic writer; the user-interface thread only takes
// snapshots, which share the records, and never waits on the disk. Never two
// saves at once: waitUntilIdle() lets the close write after a running save.
// Each save first merges what other writers changed on disk (TDateMan).
#include "store/TDateMan.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <thread>

class BackgroundSaver : public QObject {
    Q_OBJECT
  public:
    static constexpr int kDelayMs = 8000;
    // How soon a save that met another writer's change is tried again.
    static constexpr int kRetryMs = 300;

    // Listens to the store's changes; the store must outlive the saver.
    explicit BackgroundSaver(TDateMan& store, int delayMs = kDelayMs, QObject* parent = nullptr);
    ~BackgroundSaver() override;

    // Stops scheduling and finishes a running save; the caller writes next.
    void waitUntilIdle();
    bool isSaving() const { return m_worker.joinable(); }

  signals:
    // A background save failed; emitted once for the same messages until a
    // save succeeds. The categories stay unsaved and are tried again after
    // the next change and at close.
    void saveFailed(const QStringList& messages);
    // A background save finished; failed is empty when everything was written.
    void saveFinished(const QList<int>& categories, const QStringList& failed);

  private:
    void onChange();
    void startSave();
    void finishSave();
    void schedule();

    TDateMan& m_store;
    int m_delayMs;
    QTimer m_timer;
    // Since the first change that no save has taken yet.
    QElapsedTimer m_firstChange;
    std::thread m_worker;
    QList<TDateMan::SaveGroup> m_groups;
    TDateMan::WriteResult m_result;
    QStringList m_lastShown;
};
