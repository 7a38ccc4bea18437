// Keeping posts safe in the main window: the store is opened with every
// problem named at start, changes are saved in the background, and the save
// at close is ClosingSave's.
#include "app/ClosingSave.h"
#include "app/MessageBoxes.h"
#include "app/OutsideChangeFollower.h"
#include "app/SaveFailureBox.h"
#include "app/TFrmMain.h"
#include "platform/AnsiCodePage.h"
#include "platform/Paths.h"
#include "platform/StagedWrites.h"
#include "settings/IniFile.h"
#include "store/BackgroundSaver.h"
#include "store/PostLine.h"
#include "store/Rescue.h"
#include "store/TDateMan.h"

#include <QDir>

#include <cstdio>

namespace {
void printError(const QString& message) {
    std::fprintf(stderr, "vellum: %s\n", message.toLocal8Bit().constData());
}

QList<int> allCategories() {
    return {0, 1, 2, 3, 4, 5};
}
} // namespace

void TFrmMain::openStore(const QString& dataDir) {
    m_store = std::make_unique<TDateMan>(dataDir);
    for (int k = 0; k < kCategories; ++k)
        m_store->setCategoryName(k, m_tabCaptions[k]);
    // This is the only instance: a temporary file here is left from a save
    // that never finished, and the category file beside it is whole.
    m_store->RemoveStaleTemporaryFiles();
    for (const char* file : {"config.ini", "QuickNotes.dat"})
        StagedWrites::removeLeftOvers(m_programDir + QLatin1String(file));
    const QString folderProblem = m_store->CheckDataFolder();
    if (!folderProblem.isEmpty())
        m_pendingErrors << folderProblem;
    // A file that could not be read faithfully is locked in the store: it is
    // never written over, and changes to its category are refused. Only the
    // category the window opens on is read before it shows.
    const QMap<int, QString> errors = m_store->LoadCategories({activeCategory()});
    // The others are read after the window's first paint; until then nothing
    // may write them.
    QList<int> others = allCategories();
    others.removeAll(activeCategory());
    m_store->deferLoading(others);
    for (const QString& message : errors) {
        m_pendingErrors << message;
        printError(message);
    }
    QStringList rescued = Rescue::takeUnannounced();
    for (QString& folder : rescued) {
        const QStringList files = QDir(folder).entryList(QDir::Files, QDir::Name);
        folder += QStringLiteral("（%1）").arg(files.join(QStringLiteral("、")));
    }
    if (!rescued.isEmpty())
        m_pendingErrors << QStringLiteral("上次运行结束时有帖子没能保存，已另存到：\n%1\n"
                                          "请检查这些文件，需要时用“导入数据...”把帖子导入回来。")
                               .arg(rescued.join(QLatin1Char('\n')));

    m_saver = new BackgroundSaver(*m_store, BackgroundSaver::kDelayMs, this);
    connect(m_saver, &BackgroundSaver::saveFailed, this, [this](const QStringList& messages) {
        for (const QString& m : messages)
            printError(m);
        MessageBoxes::error(this, QStringLiteral("自动保存失败：\n\n%1\n\n所有修改仍在内存中，"
                                                 "下次修改时和关闭时会再次保存。")
                                      .arg(messages.join(QLatin1Char('\n'))));
    });
    m_outsideChanges = new OutsideChangeFollower(*this, [this] { return m_saver->isSaving(); });
    m_closingSave = std::make_unique<ClosingSave>(this, *m_store, *m_saver, [this] {
        return editorUnsaved() ? EncodePost(AnsiCodePage::fromUnicode(titleText()),
                                            AnsiCodePage::fromUnicode(contentText()))
                               : QByteArray();
    });
}

void TFrmMain::loadRemainingCategories() {
    if (m_remainingLoadsStarted || m_closed)
        return;
    m_remainingLoadsStarted = true;
    QList<int> others = allCategories();
    others.removeAll(activeCategory());
    m_store->startLoading(others, [this](int k) {
        // On the reading thread: the category is taken in on ours.
        QMetaObject::invokeMethod(
            this, [this, k] { ensureCategoryLoaded(k); }, Qt::QueuedConnection);
    });
}

bool TFrmMain::ensureCategoryLoaded(int k) {
    if (m_store->isLoaded(k))
        return !m_store->isLocked(k);
    const QString problem = m_store->ensureLoaded(k);
    RefreshCategoryList(k);
    if (problem.isEmpty())
        return true;
    printError(problem);
    MessageBoxes::error(this, problem);
    return false;
}

void TFrmMain::saveAllCategories(bool interactive) {
    if (m_closingSave)
        m_closingSave->saveAll(interactive);
}

int TFrmMain::exitStatus() const {
    return m_closingSave ? m_closingSave->exitStatus() : 0;
}
