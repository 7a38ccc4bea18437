#pragma once
// A view of one category of the store: row i is the title of record i. Titles
// are decoded only for the rows a view asks for, so a category of any size
// shows at once.
#include <QAbstractListModel>

class TDateMan;

class CategoryListModel : public QAbstractListModel {
    Q_OBJECT
  public:
    CategoryListModel(TDateMan* store, int category, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Rebuilds the view from the store.
    void refresh();

  private:
    TDateMan* m_store;
    int m_category;
};
