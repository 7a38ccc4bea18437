#pragma once
// Replaces several files so that each one changes atomically: every file is
// written to a temporary file beside it first, then all of them are flushed
// to disk together and renamed over the old ones. The disk writes the files
// while later ones are still being written, and a failure or crash at any
// point leaves each old file whole.
//
// writeGroups() goes further for files that belong together: no file of a
// group is renamed unless every temporary file of the group was written and
// flushed, so the group changes on disk all at once or not at all. A group
// can also be told which version of each file it replaces: it is then renamed
// only while the disk still holds that version, checked under an advisory lock
// that other instances of the program on this machine take too.
#include "platform/FileIdentity.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

class StagedWrites {
  public:
    struct File {
        QString path;
        const QList<QByteArray>* pieces = nullptr;
        // When checkDisk is set, the file is replaced only if the disk still
        // holds this version (nullopt: no file at all).
        bool checkDisk = false;
        std::optional<FileIdentity> expected;
    };
    // Failure::error of a file that another writer changed since the caller
    // last saw it; nothing of its group was renamed.
    static constexpr int kChangedOutside = -1;
    struct Failure {
        QString path;
        int error = 0; // errno, or kChangedOutside
    };
    struct Outcome {
        QList<Failure> failures;
        // Without failures: the identity of each new file, in the group's order.
        QList<FileIdentity> written;
    };

    StagedWrites() = default;
    ~StagedWrites();
    StagedWrites(const StagedWrites&) = delete;
    StagedWrites& operator=(const StagedWrites&) = delete;

    // Called now and then while a file is staged with the number of pieces
    // written so far.
    using Progress = std::function<void(qsizetype piecesWritten)>;

    // Writes the pieces, each followed by terminator, to a temporary file
    // beside path. Throws VellumError (and leaves nothing behind) on failure.
    void stage(const QString& path, const QList<QByteArray>& pieces, QByteArrayView terminator = {},
               const Progress& progress = {});
    // Hands a writer to fill, which passes it the file's bytes in order; the
    // writer returns false once writing failed, and fill stops then. The
    // bytes go to a temporary file beside path, as stage() writes them.
    // Throws VellumError (and leaves nothing behind) when writing failed, and
    // passes on what fill throws, also leaving nothing behind.
    using Writer = std::function<bool(QByteArrayView)>;
    void stageStream(const QString& path, const std::function<void(const Writer&)>& fill);
    // Flushes and renames every staged file, in the order staged. Returns the
    // message of each file that failed; its old file stays as it was.
    QStringList commit();

    // Removes the temporary files that replacements of path cut short by a
    // kill left: beside path, and beside the file that the whole chain of
    // links at path ends in. Only the one program that writes path may call
    // it, and only while it writes nothing.
    static void removeLeftOvers(const QString& path);

    // Replaces each group of files whole or not at all; the pieces are only
    // read, so another thread may hold the same lists. Groups are independent:
    // one that finds no room while the others' temporary files are on the disk
    // is tried again alone once those are committed, so a full disk stops only
    // what does not fit. The files of a group are renamed in the order given,
    // and each folder is synced once at the end. lockPath, when given, names
    // the file that is held locked (flock) from the check to the last rename
    // of a group.
    static QList<Outcome> writeGroups(const QList<QList<File>>& groups,
                                      QByteArrayView terminator = {}, const QString& lockPath = {});

    // A seam for tests: called after each rename of a group, with the path
    // renamed over (a test can end the process there).
    static void setRenameHook(std::function<void(const QString&)> hook);

  private:
    struct Staged {
        QString target;
        QString temp;
        int fd = -1;
        bool checkDisk = false;
        std::optional<FileIdentity> expected;
    };
    static Staged stageFile(const QString& path, const QList<QByteArray>& pieces,
                            QByteArrayView terminator, const Progress& progress = {});
    // Returns 0, or the errno of the failure (nothing is left behind then).
    static int tryStage(const QString& path, const QList<QByteArray>& pieces,
                        QByteArrayView terminator, Staged& s, const Progress& progress = {});
    // Creates the temporary file beside path; 0 or the errno.
    static int openTemp(const QString& path, Staged& s);
    // Closes and removes the temporary file and returns error.
    static int abandon(Staged& s, int error);
    static void discard(QList<Staged>& staged);
    // Puts the temporary file on the disk and closes it; 0 or the errno.
    static int flushAndClose(Staged& s);
    static void commitGroup(QList<Staged>& staged, Outcome& outcome, QSet<QString>& folders,
                            const QString& lockPath);
    static void syncFolders(const QSet<QString>& folders);
    QList<Staged> m_staged;
};
