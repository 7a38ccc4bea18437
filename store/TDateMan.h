#pragma once
// The post store: six categories held in memory as ordered lists of post
// lines, read from and written to "Date1.dat" ... "Date6.dat" in the data
// folder. Nothing here touches the disk unless asked to.
#include "store/ProgressIndicator.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <array>

class TDateMan {
  public:
    static constexpr int kCategoryCount = 6;

    explicit TDateMan(const QString& dataDir);
    ~TDateMan() = default;
    TDateMan(const TDateMan&) = delete;
    TDateMan& operator=(const TDateMan&) = delete;

    const QString& dataDir() const { return m_dataDir; }
    QString categoryPath(int k) const;

    // Removes temporary files that an interrupted save left beside the
    // category files. Only the running instance may call it.
    void RemoveStaleTemporaryFiles();
    int LoadCategory(int k);
    // Loads the given categories as LoadCategory does, reading the files on
    // worker threads. Returns the error message of each category whose
    // file exists but could not be read; those keep their records.
    QMap<int, QString> LoadCategories(const QList<int>& categories);
    int AppendFromFile(int k, const QString& path);
    bool SaveCategory(int k);
    // Saves the given categories in order, flushing them to disk together.
    // Returns the message of each file that could not be written; the
    // others are saved all the same.
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
    int RecordCount(int k) const { return int(m_lists[k].size()); }
    int FindTitle(int start, const QByteArray& text, int k) const;
    int ExportWithRule(int k, const QString& path, const QByteArray& rule, bool sql,
                       ProgressIndicator* progress);

    // Direct read access for views; i must be valid.
    const QByteArray& record(int k, int i) const { return m_lists[k][i]; }

  private:
    QString m_dataDir;
    std::array<QList<QByteArray>, kCategoryCount> m_lists;
    std::array<QString, kCategoryCount> m_fileNames;
};
