#include "store/BackgroundSaver.h"

#include <QMetaObject>

BackgroundSaver::BackgroundSaver(TDateMan& store, int delayMs, QObject* parent)
    : QObject(parent), m_store(store), m_delayMs(delayMs) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &BackgroundSaver::startSave);
    m_store.setChangeListener([this](int) { onChange(); });
}

BackgroundSaver::~BackgroundSaver() {
    m_store.setChangeListener({});
    if (m_worker.joinable())
        m_worker.join();
}

void BackgroundSaver::onChange() {
    if (!m_firstChange.isValid())
        m_firstChange.start();
    if (!isSaving())
        schedule();
}

void BackgroundSaver::schedule() {
    if (m_timer.isActive() || !m_firstChange.isValid())
        return;
    m_timer.start(int(qMax<qint64>(0, m_delayMs - m_firstChange.elapsed())));
}

void BackgroundSaver::startSave() {
    if (isSaving())
        return;
    // Another writer's version is merged first, so the save replaces only
    // what it has seen.
    const QStringList problems = m_store.mergeOutsideChanges({0, 1, 2, 3, 4, 5});
    if (!problems.isEmpty() && problems != m_lastShown) {
        m_lastShown = problems;
        emit saveFailed(problems);
    }
    m_groups = m_store.snapshot(m_store.dirtyCategories());
    m_firstChange.invalidate();
    if (m_groups.isEmpty())
        return;
    m_worker = std::thread([this] {
        m_result = TDateMan::write(m_groups);
        QMetaObject::invokeMethod(this, &BackgroundSaver::finishSave, Qt::QueuedConnection);
    });
}

void BackgroundSaver::finishSave() {
    if (!m_worker.joinable())
        return; // already finished by waitUntilIdle()
    m_worker.join();
    const QStringList failed = m_store.recordSaved(m_groups, m_result);
    QList<int> categories;
    for (const TDateMan::SaveGroup& group : m_groups)
        for (const TDateMan::Snapshot& s : group)
            categories << s.category;
    m_groups.clear();
    m_result.clear();
    emit saveFinished(categories, failed);
    if (m_store.changedDuringSave()) {
        // Another writer came between the merge and the rename: merge again
        // soon rather than after a new change.
        m_timer.start(kRetryMs);
        return;
    }
    if (failed.isEmpty()) {
        m_lastShown.clear();
    } else if (failed != m_lastShown) {
        m_lastShown = failed;
        emit saveFailed(failed);
    }
    // Changes made while the save ran keep their own deadline. After a
    // failure, only a new change brings another try.
    schedule();
}

void BackgroundSaver::waitUntilIdle() {
    m_timer.stop();
    m_firstChange.invalidate();
    if (m_worker.joinable()) {
        m_worker.join();
        m_store.recordSaved(m_groups, m_result);
        m_groups.clear();
        m_result.clear();
    }
}
