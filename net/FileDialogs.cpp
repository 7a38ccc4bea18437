#include "net/FileDialogs.h"

#include <QFileDialog>
#include <QFileInfo>

namespace FileDialogs {
namespace {
Answer& answer() {
    static Answer a;
    return a;
}

QString run(QWidget* parent, const Request& request) {
    if (answer())
        return answer()(request);
    QFileDialog dialog(parent);
    dialog.setObjectName(request.objectName);
    // Wide enough that the file list's columns are not cut.
    dialog.resize(760, 460);
    // The system's own titles, in the program's language.
    dialog.setWindowTitle(request.save ? QStringLiteral("另存为") : QStringLiteral("打开"));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilter(request.filter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("查找范围："));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("文件名："));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("文件类型："));
    dialog.setLabelText(QFileDialog::Accept,
                        request.save ? QStringLiteral("保存") : QStringLiteral("打开"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("取消"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}
} // namespace

void setAnswer(Answer a) {
    answer() = std::move(a);
}

QString withDefaultSuffix(const QString& path, const QString& suffix) {
    if (path.isEmpty() || suffix.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path.endsWith(QLatin1Char('.')) ? path + suffix : path + QLatin1Char('.') + suffix;
}

QString getSaveFileName(QWidget* parent, const QString& objectName, const QString& filter,
                        const QString& defaultSuffix) {
    const Request request{true, objectName, filter, defaultSuffix};
    return withDefaultSuffix(run(parent, request), defaultSuffix);
}

QString getOpenFileName(QWidget* parent, const QString& objectName, const QString& filter) {
    return run(parent, Request{false, objectName, filter, QString()});
}

} // namespace FileDialogs
