#pragma once
// Replaces several files so that each one changes atomically: every file is
// written to a temporary file beside it first, then all of them are flushed
// to disk together and renamed over the old ones. The disk writes the files
// while later ones are still being written, and a failure or crash at any
// point leaves each old file whole.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>

class StagedWrites {
  public:
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
    // Stages several files at once on worker threads (the pieces are only
    // read); returns the message of each file that could not be staged.
    QStringList stageAll(const QList<QPair<QString, const QList<QByteArray>*>>& files,
                         QByteArrayView terminator = {});
    // Flushes and renames every staged file, in the order staged. Returns the
    // message of each file that failed; its old file stays as it was.
    QStringList commit();

  private:
    struct Staged {
        QString target;
        QString temp;
        int fd = -1;
    };
    static Staged stageFile(const QString& path, const QList<QByteArray>& pieces,
                            QByteArrayView terminator, const Progress& progress = {});
    QList<Staged> m_staged;
};
