#pragma once
// Export and import of one category as a data file (".qre": the category
// file format byte for byte). Each command asks for the file, does the work
// with a progress window that appears when it takes a while, and shows a
// failure in the standard error box; the category is then unchanged.
#include <QString>

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

  private:
    TDateMan& m_store;
    QWidget* m_owner;
};
