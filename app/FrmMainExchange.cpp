// Data exchange commands of the list menu: each acts on the active category.
#include "app/TFrmMain.h"
#include "net/DataExchange.h"
#include "net/Tfrmexportdata.h"
#include "store/TDateMan.h"

void TFrmMain::ExportData() {
    DataExchange(*m_store, this).exportCategory(activeCategory());
}

void TFrmMain::ImportData() {
    const int k = activeCategory();
    if (DataExchange(*m_store, this).importFile(k))
        RefreshCategoryList(k);
}

void TFrmMain::CustomExport() {
    m_frmExportData->Execute(activeCategory(), m_store.get());
}
