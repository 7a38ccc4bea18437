#pragma once
// Notices while the program runs that another writer changed a category file
// (a sync tool renames a new version over it, an editor rewrites it in place)
// and, once the file has been quiet for about a second, merges the change
// into the store (TDateMan::mergeOutsideChanges). A file that keeps changing
// is waited for. Conflict copies that appear in the data folder are reported
// once each. inotify (through QFileSystemWatcher) gives the events; a slow
// poll of the six files' identities covers folders without it (network
// shares).
#include "platform/FileIdentity.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <array>
#include <functional>
#include <optional>

class TDateMan;

class CategoryWatcher : public QObject {
    Q_OBJECT
  public:
    static constexpr int kQuietMs = 1000;
    static constexpr int kPollMs = 3000;

    // busy() is true while the store must not be merged into (a save is
    // running); the merge then waits. The store must outlive the watcher.
    CategoryWatcher(TDateMan& store, std::function<bool()> busy, QObject* parent = nullptr);

    // Conflict copies now in the data folder; each counts as reported.
    QStringList takeConflictCopies();

  signals:
    // A conflict copy of the category appeared in the data folder.
    void conflictCopyAppeared(const QString& path, int category);
    // Files that changed but could not be merged (Chinese messages).
    void mergeProblems(const QStringList& messages);

  private:
    using Identities = std::array<std::optional<FileIdentity>, 6>;
    Identities current() const;
    void somethingChanged();
    void poll();
    void settle();
    void watchFiles();

    TDateMan& m_store;
    std::function<bool()> m_busy;
    QFileSystemWatcher m_fs;
    QTimer m_quiet;
    QTimer m_poll;
    Identities m_observed;
    QSet<QString> m_reportedCopies;
    QStringList m_lastProblems;
};
