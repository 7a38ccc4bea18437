#include "app/CategoryListModel.h"

#include "platform/AnsiCodePage.h"
#include "store/PostLine.h"
#include "store/TDateMan.h"

CategoryListModel::CategoryListModel(TDateMan* store, int category, QObject* parent)
    : QAbstractListModel(parent), m_store(store), m_category(category) {}

int CategoryListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_store->RecordCount(m_category);
}

QVariant CategoryListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_store->RecordCount(m_category))
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        const QByteArray& line = m_store->record(m_category, index.row());
        return AnsiCodePage::toUnicode(DecodePostPart(line, 1));
    }
    if (role == Qt::AccessibleTextRole) {
        // A row without a title still needs something a screen reader can say.
        const QString title = data(index, Qt::DisplayRole).toString();
        return title.trimmed().isEmpty() ? QStringLiteral("（无标题）") : title;
    }
    return {};
}

void CategoryListModel::refresh() {
    beginResetModel();
    endResetModel();
}
