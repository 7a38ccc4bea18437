#pragma once
// The post store: six categories held in memory as ordered lists of post
// lines, read from and written to "Date1.dat" ... "Date6.dat" in the data
// folder. Nothing here touches the disk unless asked to.
//
// Posts are never lost through the store: a category whose file could not be
// read faithfully (unreadable, not a regular file, holding a NUL byte) is
// locked for the run: every change to it is refused with a VellumError and it
// is never written. Every change marks its category unsaved, and categories
// that one operation changed together (a move) are saved together, all or
// none, so a failed save never leaves a post in neither file.
//
// The program is not the only writer of the category files (a sync tool, an
// editor, a second machine or instance). The store remembers each file as it
// last read or wrote it (its identity and its posts). Before a save, a file
// that changed on disk is read and merged by posts into memory
// (PostMerge.h); the save then replaces it only while the disk still holds
// what was merged. A category the program did not change is not rewritten.
#include "platform/FileIdentity.h"
#include "platform/StagedWrites.h"
#include "store/CategoryFile.h"
#include "store/ProgressIndicator.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <future>
#include <vector>

class TDateMan {
  public:
    static constexpr int kCategoryCount = 6;

    // A category as it is to be written: a copy that shares the records, so
    // it can be written on another thread while the store changes.
    struct Snapshot {
        int category = 0;
        QString path;
        QList<QByteArray> lines;
        quint64 version = 0;
        // The file the lines were merged with (nullopt: there was none); the
        // write replaces only that version.
        std::optional<FileIdentity> expected;
        QString lockPath;
    };
    // Categories that must reach the disk together, in the order their files
    // are renamed: a file that gains a post before the one that loses it.
    using SaveGroup = QList<Snapshot>;
    using WriteResult = QList<StagedWrites::Outcome>;

    // A category whose records another writer's version changed.
    struct OutsideChange {
        int category = 0;
        // The records before; the list and the editor find their post again.
        QList<QByteArray> before;
        // Posts changed on both sides, kept in both versions.
        int conflicts = 0;
        // There was nothing unsaved: the outside version was simply taken.
        bool reloaded = false;
    };

    explicit TDateMan(const QString& dataDir);
    ~TDateMan() = default;
    TDateMan(const TDateMan&) = delete;
    TDateMan& operator=(const TDateMan&) = delete;

    const QString& dataDir() const { return m_dataDir; }
    QString categoryPath(int k) const;
    // The name the user knows the category by (its tab caption); messages use
    // it. An unnamed category is called by its file name.
    void setCategoryName(int k, const QString& name) { m_names[k] = name; }
    QString categoryName(int k) const;

    // Removes temporary files that an interrupted save left beside the
    // category files (and beside the files that linked categories point to).
    // Only the running instance may call it.
    void RemoveStaleTemporaryFiles();
    // A Chinese message when the data folder cannot take a new file (read-only,
    // missing, or a file in its place); empty when it can.
    QString CheckDataFolder() const;
    // Throws VellumError when the file exists but could not be read
    // faithfully; the category is then locked (a NUL byte: what came before
    // it is loaded; otherwise the records are kept).
    int LoadCategory(int k);
    // Loads the given categories as LoadCategory does, reading the files on
    // worker threads. Returns the message of each category whose file could
    // not be read faithfully; each of those is locked.
    QMap<int, QString> LoadCategories(const QList<int>& categories);

    // --- Loading after the window shows -----------------------------------
    // A category is usable once loaded: a new store holds six empty, loaded
    // categories; LoadCategory/LoadCategories load at once; startLoading
    // reads files in the background, and such a category stays unloaded
    // until ensureLoaded takes it in.
    //
    // Starts reading the files of the given categories on worker threads and
    // returns at once; a category already read, being read or changed is
    // left as it is. ready(k), when given, runs on the worker thread once
    // k's file has been read; it must only arrange for ensureLoaded(k) to be
    // called on the store's own thread. A category without a file is loaded
    // (empty) at once, and ready is not called for it.
    void startLoading(const QList<int>& categories, std::function<void(int)> ready = {});
    // Marks the categories as not loaded yet without reading anything, so
    // that nothing writes them before startLoading or ensureLoaded reads
    // them. A category without a file is loaded (empty) at once.
    void deferLoading(const QList<int>& categories);
    bool isLoaded(int k) const { return !m_pending[k].valid() && !m_deferred[k]; }
    // Makes k usable: takes in its background read (waiting for it when it
    // is still running); does nothing when k is loaded. Returns the message
    // when the file could not be read faithfully (k is then locked, as after
    // LoadCategories), empty otherwise. Every change calls it through
    // ensureChangeable; whatever reads a category that may still be loading
    // (its list, a move's target, a merge with the file on disk) calls it
    // first. A category that is still unloaded is never written: a save
    // skips it, as its file already holds what it would write.
    QString ensureLoaded(int k);

    // Appends the lines of a data file to k. Only a regular file is read
    // (VellumError otherwise); progress, when given, follows the reading. NUL
    // bytes are removed, as from the clipboard, so every line is imported;
    // removedNuls, when given, receives how many there were.
    int AppendFromFile(int k, const QString& path, ProgressIndicator* progress = nullptr,
                       qsizetype* removedNuls = nullptr);
    bool SaveCategory(int k);
    // Saves the given categories (and the ones tied to them by a move); locked
    // categories are skipped. Returns a Chinese message for each category that
    // was not saved; its old file stays whole.
    QStringList SaveCategories(const QList<int>& categories);
    bool SaveCategoryAs(int k, const QString& path);
    void GetRecord(int i, int k, QByteArray& line) const;
    int AddRecord(const QByteArray& line, int k);
    void ReplaceRecord(const QByteArray& line, int i, int k);
    void DeleteRecord(int i, int k);
    // Puts a line back at position i of category k (clamped to the ends), as
    // undoing a deletion does; an empty line, as a file may hold, goes back
    // too.
    void InsertRecord(const QByteArray& line, int i, int k);
    void ClearCategory(int k);
    // Moves record i of from to the end of to; both change together and are
    // saved together. An empty record is only removed. Returns the record's
    // position in to, or -1 when it was not added there.
    int MoveRecord(int i, int from, int to);
    int RecordCount(int k) const { return int(m_lists[k].size()); }
    int FindTitle(int start, const QByteArray& text, int k) const;
    // Writes the rule expanded for every post of k (see RuleExport.h) and
    // returns the number of posts written; lines without a separator are
    // skipped and not counted.
    int ExportWithRule(int k, const QString& path, const QByteArray& rule, bool sql,
                       ProgressIndicator* progress);

    // The records of k as they are now. The copy shares their memory and
    // stays as it is when the category changes, so another thread may read it.
    QList<QByteArray> Records(int k) const { return m_lists[k]; }
    // Direct read access for views; i must be valid.
    const QByteArray& record(int k, int i) const { return m_lists[k][i]; }

    // --- Keeping posts safe -------------------------------------------------
    // A category that cannot be changed in this run, and why (Chinese).
    bool isLocked(int k) const { return !m_lockReason[k].isEmpty(); }
    QString lockReason(int k) const { return m_lockReason[k]; }
    // Loads k if it is still loading, then throws the refusal when k is
    // locked. Every change calls it first.
    void ensureChangeable(int k);
    // Changed since it was last written (or loaded).
    bool isDirty(int k) const { return m_version[k] != m_savedVersion[k]; }
    QList<int> dirtyCategories() const;
    // Called after every change with the category changed.
    void setChangeListener(std::function<void(int)> listener) { m_onChange = std::move(listener); }
    // Saving in three steps, so that the writing can run on another thread:
    // take snapshots (grouped), write them (any thread, touches no store),
    // then record the outcome. recordSaved() returns a message per category that
    // was not saved.
    QList<SaveGroup> snapshot(const QList<int>& categories) const;
    static WriteResult write(const QList<SaveGroup>& groups);
    QStringList recordSaved(const QList<SaveGroup>& groups, const WriteResult& result);
    // True when the last recordSaved() found a file that another writer had
    // changed after the merge; those categories stay unsaved, to be merged
    // and written again.
    bool changedDuringSave() const { return m_changedDuringSave; }

    // --- Other writers ------------------------------------------------------
    // The file of k differs from what the store last read or wrote (one stat).
    bool changedOnDisk(int k) const;
    // The file of k as the store last read or wrote it.
    const QList<QByteArray>& lastSeen(int k) const { return m_base[k]; }
    // Reads the files of the given categories that changed on disk and merges
    // them into memory: without unsaved changes the outside version is taken
    // as it is. Each category whose records changed is reported to the
    // outside-change listener. Returns a Chinese message for each file that
    // changed but could not be read faithfully; its category is not saved
    // until it can be.
    QStringList mergeOutsideChanges(const QList<int>& categories);
    void setOutsideChangeListener(std::function<void(const OutsideChange&)> listener) {
        m_onOutsideChange = std::move(listener);
    }
    // Adds to k the posts of a conflict copy that k does not hold yet.
    // Returns how many were added.
    int mergeConflictCopy(int k, const QList<QByteArray>& copy);
    // The file that instances sharing this data folder lock while they check
    // and replace a category file.
    QString lockPath() const;

  private:
    // Every operation that changes a category calls ensureChangeable(k)
    // before it touches anything and changed(k) after, so the refusal, the
    // unsaved mark and the background save cover it.
    // indexKept: the caller brought k's title index up to date itself.
    void changed(int k, bool indexKept = false);
    void lock(int k, const QString& problem);
    // Takes in what reading k's file found; returns the lock message or empty.
    QString install(int k, CategoryFile::Loaded loaded);
    // The titles of a category in one buffer, so a search is one scan.
    struct TitleIndex {
        bool valid = false;
        QByteArray titles;
        std::vector<qsizetype> starts; // row i's title is [starts[i], starts[i + 1])
        // One row's change; the titles after it move along.
        void replaceRow(size_t row, QByteArrayView title);
        void removeRow(size_t row);
        void insertRow(size_t row, QByteArrayView title);
    };
    const TitleIndex& titleIndex(int k) const;
    // k's index when it is built and holds rows records; otherwise it is
    // dropped, to be built again at the next search.
    TitleIndex* builtTitleIndex(int k, qsizetype rows);
    struct Tie {
        int a, b;
        quint64 versionA, versionB;
    };
    bool tieOpen(const Tie& t) const {
        return m_savedVersion[t.a] < t.versionA || m_savedVersion[t.b] < t.versionB;
    }

    QString m_dataDir;
    std::array<QList<QByteArray>, kCategoryCount> m_lists;
    std::array<QString, kCategoryCount> m_fileNames;
    std::array<QString, kCategoryCount> m_names;
    std::array<QString, kCategoryCount> m_lockReason;
    std::array<quint64, kCategoryCount> m_version{};
    std::array<quint64, kCategoryCount> m_savedVersion{};
    QList<Tie> m_ties;
    std::array<std::future<CategoryFile::Loaded>, kCategoryCount> m_pending;
    std::array<bool, kCategoryCount> m_deferred{};
    bool hasFile(int k) const;
    mutable std::array<TitleIndex, kCategoryCount> m_titleIndex;
    std::function<void(int)> m_onChange;
    // Each file as last read or written: its posts and its identity.
    std::array<QList<QByteArray>, kCategoryCount> m_base;
    std::array<std::optional<FileIdentity>, kCategoryCount> m_disk;
    // Why an outside version of the file could not be merged; while set, the
    // category is not written.
    std::array<QString, kCategoryCount> m_unmergeable;
    bool m_changedDuringSave = false;
    std::function<void(const OutsideChange&)> m_onOutsideChange;
};
