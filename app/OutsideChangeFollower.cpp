#include "app/OutsideChangeFollower.h"

#include "app/CategoryListModel.h"
#include "app/MessageBoxes.h"
#include "app/TFrmMain.h"
#include "platform/ErrorReporter.h"
#include "platform/VellumError.h"
#include "store/CategoryFile.h"
#include "store/CategoryWatcher.h"
#include "store/ConflictCopies.h"
#include "store/PostMerge.h"
#include "ui/ToastPopup.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

namespace {
// The row of lines that holds line, nearest to hint; -1 when none does.
int findNearest(const QList<QByteArray>& lines, const QByteArray& line, int hint) {
    int best = -1;
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i] == line && (best < 0 || qAbs(i - hint) < qAbs(best - hint)))
            best = i;
    return best;
}
} // namespace

OutsideChangeFollower::OutsideChangeFollower(TFrmMain& window, std::function<bool()> isSaving)
    : QObject(&window), m_win(window) {
    TDateMan& store = *m_win.m_store;
    store.setOutsideChangeListener(
        [this](const TDateMan::OutsideChange& change) { follow(change); });
    m_watcher = new CategoryWatcher(store, std::move(isSaving), this);
    connect(m_watcher, &CategoryWatcher::conflictCopyAppeared, this,
            [this](const QString& path) { offerConflictCopies({path}); });
    connect(m_watcher, &CategoryWatcher::mergeProblems, this, [this](const QStringList& messages) {
        MessageBoxes::error(&m_win, messages.join(QLatin1Char('\n')));
    });
    // Copies left while the program was not running, once the window is up.
    QTimer::singleShot(0, this, [this] { offerConflictCopies(m_watcher->takeConflictCopies()); });
}

void OutsideChangeFollower::follow(const TDateMan::OutsideChange& change) {
    const int k = change.category;
    if (!m_win.m_models[k])
        return;
    const int row = m_win.selectedRow(k);
    const QList<QByteArray> now = m_win.m_store->Records(k);
    m_win.RefreshCategoryList(k);
    if (row >= 0 && row < change.before.size()) {
        const int found = findNearest(now, change.before[row], row);
        m_win.selectRow(k, found);
        // The post in the editor is gone or changed elsewhere: saving the
        // editor adds it as a new post instead of replacing another one.
        if (found < 0 && k == m_win.activeCategory() &&
            m_win.m_editor.mode() == EditorState::Mode::Edit && !m_win.rowOfShownPost())
            m_win.setEditorMode(QStringLiteral("ADD"));
    }
    m_win.m_deletionUndo.followReload(k, change.before, now);
    if (change.conflicts > 0) {
        const QString message = QStringLiteral("「%1」：%2个帖子在别处也被修改，两份都已保留。")
                                    .arg(m_win.m_store->categoryName(k))
                                    .arg(change.conflicts);
        std::fprintf(stderr, "vellum: %s\n", message.toLocal8Bit().constData());
        // Told once the current step (a save, a close) is over.
        if (!m_win.m_closed)
            QTimer::singleShot(0, this, [this, message] { MessageBoxes::info(&m_win, message); });
    }
}

void OutsideChangeFollower::offerConflictCopies(const QStringList& paths) {
    m_pendingCopies << paths;
    // One question at a time; copies found meanwhile wait their turn.
    if (m_offeringCopy)
        return;
    m_offeringCopy = true;
    while (!m_pendingCopies.isEmpty() && !m_win.m_closed) {
        const QString path = m_pendingCopies.takeFirst();
        const int k = ConflictCopies::categoryOf(QFileInfo(path).fileName());
        if (k < 0 || !QFileInfo::exists(path))
            continue;
        const QString name = m_win.m_store->categoryName(k);
        if (!MessageBoxes::confirm(
                &m_win,
                QStringLiteral("同步工具在分类文件夹中留下了分类「%1」的冲突副本：\n%2\n\n"
                               "要把其中本分类还没有的帖子合并进来吗？合并后，副本会移到：\n%3")
                    .arg(name, QDir::toNativeSeparators(path),
                         QDir::toNativeSeparators(ConflictCopies::mergedFolder())),
                QStringLiteral("合并冲突副本")))
            continue;
        const CategoryFile::Loaded copy = CategoryFile::load(path);
        if (!copy.problem.isEmpty()) {
            MessageBoxes::error(&m_win, QStringLiteral("冲突副本“%1”%2，没有合并。")
                                            .arg(QDir::toNativeSeparators(path), copy.problem));
            continue;
        }
        try {
            const int row = m_win.selectedRow(k);
            const int added = m_win.m_store->mergeConflictCopy(k, copy.lines);
            m_win.RefreshCategoryList(k);
            m_win.selectRow(k, row); // the posts were added at the end
            ConflictCopies::moveAside(path);
            m_win.MSNPopUp1->show(
                QString(),
                QStringLiteral("已从冲突副本合并%1个帖子到「%2」。").arg(added).arg(name));
        } catch (const std::exception& e) {
            ErrorReporter::report(e);
        }
    }
    m_offeringCopy = false;
}
