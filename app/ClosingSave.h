#pragma once
// Saving every category when the program ends. A save that fails asks the
// user (try again, keep running, quit); where no one can be asked (a signal,
// the end of the desktop session), what is not on disk, the editor's unsaved
// post included, goes to the rescue folder instead.
#include <QByteArray>

#include <functional>

class BackgroundSaver;
class QWidget;
class TDateMan;

class ClosingSave {
  public:
    // unsavedEditorPost gives the editor's post as a post line when it holds
    // unsaved text, and an empty line otherwise.
    ClosingSave(QWidget* owner, TDateMan& store, BackgroundSaver& saver,
                std::function<QByteArray()> unsavedEditorPost);

    // The save at close; false when the user chose to keep the program running.
    bool saveAtClose(bool interactive);
    // Writes every category; errors are shown, or (without interaction) end
    // in a non-zero exit status and the rescue folder.
    void saveAll(bool interactive);
    // Non-zero when a save at close failed.
    int exitStatus() const { return m_exitStatus; }

  private:
    void rescueUnsaved();

    QWidget* m_owner;
    TDateMan& m_store;
    BackgroundSaver& m_saver;
    std::function<QByteArray()> m_unsavedEditorPost;
    // The editor's post last written to the rescue folder: the log-out and
    // the quit that follows it write it once.
    QByteArray m_rescuedEditorPost;
    int m_exitStatus = 0;
};
