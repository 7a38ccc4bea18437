#include "net/DataExchange.h"

#include "net/BackgroundWork.h"
#include "net/FileDialogs.h"
#include "platform/ErrorReporter.h"
#include "platform/VellumError.h"
#include "store/CategoryFile.h"
#include "store/TDateMan.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProgressDialog>

#include <new>

namespace {
// A progress window that shows only when the work takes a while.
class ProgressWindow : public ProgressIndicator {
  public:
    ProgressWindow(QWidget* owner, const QString& title, const QString& label)
        : m_dialog(label, QString(), 0, 0, owner) {
        m_dialog.setObjectName(QStringLiteral("ProgressWindow"));
        m_dialog.setWindowTitle(title);
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setCancelButton(nullptr);
        m_dialog.setMinimumDuration(300);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setMinimumWidth(320);
        m_dialog.setValue(0);
    }
    void setMinimum(int value) override { m_dialog.setMinimum(value); }
    void setMaximum(int value) override { m_dialog.setMaximum(value); }
    void setPosition(int value) override {
        m_dialog.setValue(value);
        // Work on this thread lets the windows paint between its steps.
        if (!m_sinceEvents.isValid() || m_sinceEvents.elapsed() >= 15) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            m_sinceEvents.restart();
        }
    }

  private:
    QProgressDialog m_dialog;
    QElapsedTimer m_sinceEvents;
};
} // namespace

bool DataExchange::exportCategory(int k) {
    const QString path =
        FileDialogs::getSaveFileName(m_owner, QStringLiteral("SaveDialogExport"), kFilter, kSuffix);
    if (path.isEmpty())
        return false;
    // The records as they are now; the window may change the category while
    // the file is written.
    const QList<QByteArray> records = m_store.Records(k);
    ProgressWindow progress(m_owner, QStringLiteral("导出数据"),
                            QStringLiteral("正在导出 %1 个帖子……").arg(records.size()));
    try {
        BackgroundWork::run(
            [&](ProgressIndicator* p) { CategoryFile::writeLines(path, records, p); }, &progress);
    } catch (const VellumError& e) {
        ErrorReporter::report(
            QStringLiteral("数据没有导出，无法写入文件“%1”。\n\n%2").arg(path, e.message()));
        return false;
    } catch (const std::bad_alloc&) {
        ErrorReporter::report(QStringLiteral("内存不足，数据没有导出到文件“%1”。").arg(path));
        return false;
    }
    return true;
}

bool DataExchange::importFile(int k) {
    const QString path =
        FileDialogs::getOpenFileName(m_owner, QStringLiteral("OpenDialogImport"), kFilter);
    if (path.isEmpty())
        return false;
    ProgressWindow progress(m_owner, QStringLiteral("导入数据"),
                            QStringLiteral("正在导入“%1”……").arg(path));
    try {
        // The reading steps the progress and lets the windows paint; the
        // records are added at the end, all at once.
        m_store.AppendFromFile(k, path, &progress);
    } catch (const VellumError& e) {
        ErrorReporter::report(e);
    } catch (const std::bad_alloc&) {
        ErrorReporter::report(QStringLiteral("内存不足，文件“%1”没有导入。").arg(path));
    }
    return true;
}
