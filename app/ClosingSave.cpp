#include "app/ClosingSave.h"

#include "app/MessageBoxes.h"
#include "app/SaveFailureBox.h"
#include "platform/VellumError.h"
#include "store/BackgroundSaver.h"
#include "store/Rescue.h"
#include "store/TDateMan.h"

#include <QDateTime>

#include <cstdio>

namespace {
void printError(const QString& message) {
    std::fprintf(stderr, "vellum: %s\n", message.toLocal8Bit().constData());
}

const QList<int> kAllCategories{0, 1, 2, 3, 4, 5};
} // namespace

ClosingSave::ClosingSave(QWidget* owner, TDateMan& store, BackgroundSaver& saver,
                         std::function<QByteArray()> unsavedEditorPost)
    : m_owner(owner), m_store(store), m_saver(saver),
      m_unsavedEditorPost(std::move(unsavedEditorPost)) {}

bool ClosingSave::saveAtClose(bool interactive) {
    m_saver.waitUntilIdle();
    for (;;) {
        const QStringList errors = m_store.SaveCategories(kAllCategories);
        m_exitStatus = errors.isEmpty() ? 0 : 1;
        for (const QString& m : errors)
            printError(m);
        if (!interactive) {
            // No one can be asked: what is not on disk goes to the rescue folder.
            rescueUnsaved();
            return true;
        }
        if (errors.isEmpty())
            return true;
        switch (SaveFailureBox::ask(m_owner, errors)) {
        case SaveFailureBox::Choice::Retry:
            continue;
        case SaveFailureBox::Choice::KeepRunning:
            m_exitStatus = 0;
            return false;
        case SaveFailureBox::Choice::Quit:
            return true;
        case SaveFailureBox::Choice::SessionEnded:
            rescueUnsaved();
            return true;
        }
    }
}

void ClosingSave::saveAll(bool interactive) {
    m_saver.waitUntilIdle();
    const QStringList errors = m_store.SaveCategories(kAllCategories);
    for (const QString& m : errors) {
        printError(m);
        if (interactive)
            MessageBoxes::error(m_owner, m);
    }
    if (!errors.isEmpty() && !interactive)
        m_exitStatus = 1;
    if (!interactive)
        rescueUnsaved();
}

void ClosingSave::rescueUnsaved() {
    const QList<int> unsaved = m_store.dirtyCategories();
    QByteArray editorPost = m_unsavedEditorPost();
    if (editorPost == m_rescuedEditorPost)
        editorPost.clear();
    if (unsaved.isEmpty() && editorPost.isEmpty())
        return;
    try {
        const QString folder = Rescue::write(m_store, unsaved, Rescue::defaultBases(),
                                             QDateTime::currentDateTime(), editorPost);
        if (!editorPost.isEmpty())
            m_rescuedEditorPost = editorPost;
        printError(QStringLiteral("unsaved posts were written to %1").arg(folder));
    } catch (const VellumError& e) {
        printError(e.message());
    }
}
