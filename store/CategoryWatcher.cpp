#include "store/CategoryWatcher.h"

#include "store/ConflictCopies.h"
#include "store/TDateMan.h"

#include <QFileInfo>

CategoryWatcher::CategoryWatcher(TDateMan& store, std::function<bool()> busy, QObject* parent)
    : QObject(parent), m_store(store), m_busy(std::move(busy)) {
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(kQuietMs);
    connect(&m_quiet, &QTimer::timeout, this, &CategoryWatcher::settle);
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &CategoryWatcher::poll);
    m_poll.start();
    connect(&m_fs, &QFileSystemWatcher::directoryChanged, this, &CategoryWatcher::somethingChanged);
    connect(&m_fs, &QFileSystemWatcher::fileChanged, this, &CategoryWatcher::somethingChanged);
    m_fs.addPath(m_store.dataDir());
    watchFiles();
    m_observed = current();
}

CategoryWatcher::Identities CategoryWatcher::current() const {
    Identities ids;
    for (int k = 0; k < TDateMan::kCategoryCount; ++k)
        ids[size_t(k)] = FileIdentity::ofPath(m_store.categoryPath(k));
    return ids;
}

void CategoryWatcher::watchFiles() {
    // A file renamed over is a new inode, which inotify does not follow.
    const QStringList watched = m_fs.files();
    for (int k = 0; k < TDateMan::kCategoryCount; ++k) {
        const QString path = m_store.categoryPath(k);
        if (!watched.contains(path) && QFileInfo::exists(path))
            m_fs.addPath(path);
    }
}

void CategoryWatcher::somethingChanged() {
    watchFiles();
    m_observed = current();
    m_quiet.start();
}

void CategoryWatcher::poll() {
    if (!m_quiet.isActive() && current() != m_observed)
        somethingChanged();
}

void CategoryWatcher::settle() {
    const Identities now = current();
    if (now != m_observed || m_busy()) {
        // Still being written, or a save is running: wait for quiet again.
        m_observed = now;
        m_quiet.start();
        return;
    }
    QList<int> changed;
    for (int k = 0; k < TDateMan::kCategoryCount; ++k)
        if (m_store.changedOnDisk(k))
            changed << k;
    if (!changed.isEmpty()) {
        const QStringList problems = m_store.mergeOutsideChanges(changed);
        if (!problems.isEmpty() && problems != m_lastProblems)
            emit mergeProblems(problems);
        m_lastProblems = problems;
    }
    for (const QString& path : ConflictCopies::find(m_store.dataDir())) {
        if (m_reportedCopies.contains(path))
            continue;
        m_reportedCopies.insert(path);
        emit conflictCopyAppeared(path, ConflictCopies::categoryOf(QFileInfo(path).fileName()));
    }
}

QStringList CategoryWatcher::takeConflictCopies() {
    QStringList out;
    for (const QString& path : ConflictCopies::find(m_store.dataDir()))
        if (!m_reportedCopies.contains(path)) {
            m_reportedCopies.insert(path);
            out << path;
        }
    return out;
}
