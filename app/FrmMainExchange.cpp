// Data exchange commands of the list menu: each acts on the active category
// and says what it did.
#include "app/TFrmMain.h"
#include "net/DataExchange.h"
#include "net/Tfrmexportdata.h"
#include "store/TDateMan.h"
#include "ui/ToastPopup.h"

void TFrmMain::ExportData() {
    DataExchange exchange(*m_store, this);
    if (!exchange.exportCategory(activeCategory()))
        return;
    // The notice is small: the file's name goes to the status bar.
    showNote(exchange.outcome(true));
    MSNPopUp1->show(QString(), QStringLiteral("已导出%1个帖子。").arg(exchange.count()));
}

void TFrmMain::ImportData() {
    // The editor stays as it is; unsaved text is settled before the list
    // changes under it.
    if (!m_unsavedQuestion->settle(EditorState::Action::Import))
        return;
    const int k = activeCategory();
    DataExchange exchange(*m_store, this);
    if (!exchange.importFile(k))
        return;
    RefreshCategoryList(k);
    // The post shown stays selected.
    if (m_editor.tiedCategory() == k)
        if (const std::optional<int> row = rowOfShownPost())
            selectRow(k, *row);
    const QString outcome = exchange.outcome(false);
    if (outcome.isEmpty())
        return;
    showNote(outcome.section(QLatin1Char('\n'), 0, 0));
    QString notice = QStringLiteral("已导入%1个帖子").arg(exchange.count());
    if (exchange.removedNuls() > 0)
        notice += QStringLiteral("，去掉了%1个空字符（NUL）").arg(exchange.removedNuls());
    MSNPopUp1->show(QString(), notice + QStringLiteral("。"));
}

void TFrmMain::CustomExport() {
    m_frmExportData->Execute(activeCategory(), m_store.get());
}
