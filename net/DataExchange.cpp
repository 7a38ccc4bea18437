#include "net/DataExchange.h"

#include "net/BackgroundWork.h"
#include "net/FileDialogs.h"
#include "platform/ErrorReporter.h"
#include "platform/VellumError.h"
#include "store/CategoryFile.h"
#include "store/TDateMan.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
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
    m_failed = false;
    m_count = 0;
    m_path =
        FileDialogs::getSaveFileName(m_owner, QStringLiteral("SaveDialogExport"), kFilter, kSuffix);
    if (m_path.isEmpty())
        return false;
    // The records as they are now; the window may change the category while
    // the file is written.
    const QList<QByteArray> records = m_store.Records(k);
    QString error;
    {
        // The window-modal progress is gone before any message shows: left
        // open, it would come up over the message and lock the window.
        ProgressWindow progress(m_owner, QStringLiteral("导出数据"),
                                QStringLiteral("正在导出 %1 个帖子……").arg(records.size()));
        try {
            BackgroundWork::run(
                [&](ProgressIndicator* p) { CategoryFile::writeLines(m_path, records, p); },
                &progress);
        } catch (const VellumError& e) {
            error =
                QStringLiteral("数据没有导出，无法写入文件“%1”。\n\n%2").arg(m_path, e.message());
        } catch (const std::bad_alloc&) {
            error = QStringLiteral("内存不足，数据没有导出到文件“%1”。").arg(m_path);
        }
    }
    if (!error.isEmpty()) {
        m_failed = true;
        ErrorReporter::report(error);
        return false;
    }
    m_count = int(records.size());
    return true;
}

bool DataExchange::importFile(int k) {
    m_failed = false;
    m_count = 0;
    m_removedNuls = 0;
    m_path = FileDialogs::getOpenFileName(m_owner, QStringLiteral("OpenDialogImport"), kFilter);
    if (m_path.isEmpty())
        return false;
    const int before = m_store.RecordCount(k);
    QString error;
    {
        ProgressWindow progress(m_owner, QStringLiteral("导入数据"),
                                QStringLiteral("正在导入“%1”……").arg(m_path));
        try {
            // The reading steps the progress and lets the windows paint; the
            // records are added at the end, all at once.
            m_store.AppendFromFile(k, m_path, &progress, &m_removedNuls);
        } catch (const VellumError& e) {
            error = e.message();
        } catch (const std::bad_alloc&) {
            error = QStringLiteral("内存不足，文件“%1”没有导入。").arg(m_path);
        }
    }
    if (!error.isEmpty()) {
        m_failed = true;
        ErrorReporter::report(error);
    }
    m_count = m_store.RecordCount(k) - before;
    return true;
}

QString DataExchange::outcome(bool exporting) const {
    if (m_failed || m_path.isEmpty())
        return QString();
    if (exporting)
        return QStringLiteral("已导出%1个帖子到文件“%2”。").arg(m_count).arg(m_path);
    if (!QFileInfo::exists(m_path))
        return QStringLiteral("文件“%1”不存在，没有导入帖子。").arg(m_path);
    QString text = QStringLiteral("已从文件“%1”导入%2个帖子。").arg(m_path).arg(m_count);
    if (m_removedNuls > 0)
        text += QStringLiteral("\n文件中的%1个空字符（NUL）已去掉。").arg(m_removedNuls);
    return text;
}
