#pragma once
// Export and import of one category as a data file (".qre": the category
// file format byte for byte). Each command asks for the file, does the work
// with a progress window that appears when it takes a while, and shows a
// failure in the standard error box; the category is then unchanged.
#include <QString>
#include <QtGlobal>

class QWidget;
class TDateMan;

class DataExchange {
  public:
    static inline const QString kFilter = QStringLiteral("Vellum数据(*.qre)");
    static inline const QString kSuffix = QStringLiteral("qre");

    DataExchange(TDateMan& store, QWidget* owner) : m_store(store), m_owner(owner) {}

    // "导出数据...": writes every post of category k, as it is in memory, to
    // the chosen file, replacing it atomically. True when a file was written.
    bool exportCategory(int k);
    // "导入数据...": appends every line of the chosen file to category k. A
    // name that does not exist changes nothing. False only when the user
    // cancelled; otherwise the caller refreshes the category's list.
    bool importFile(int k);

    // What the last command did, in a sentence for the user: how many posts
    // went to or came from which file; empty after a cancel or a failure
    // (which the error box has shown).
    QString outcome(bool exporting) const;
    int count() const { return m_count; }
    qsizetype removedNuls() const { return m_removedNuls; }

  private:
    TDateMan& m_store;
    QWidget* m_owner;
    QString m_path;
    bool m_failed = false;
    int m_count = 0;
    qsizetype m_removedNuls = 0;
};
