#include "store/ConflictCopies.h"

#include "platform/Paths.h"
#include "platform/VellumError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace ConflictCopies {

int categoryOf(const QString& fileName) {
    static const QRegularExpression copy(QStringLiteral("^Date([1-6])[ ._(~-].*conflict.*\\.dat$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = copy.match(fileName);
    return m.hasMatch() ? m.captured(1).toInt() - 1 : -1;
}

QStringList find(const QString& dataDir) {
    QStringList out;
    const QDir dir(dataDir);
    for (const QString& name :
         dir.entryList({QStringLiteral("Date*.dat")}, QDir::Files, QDir::Name))
        if (categoryOf(name) >= 0)
            out << dir.filePath(name);
    return out;
}

QString mergedFolder() {
    return Paths::stateHome() + QStringLiteral("vellum/merged/");
}

QString moveAside(const QString& path, const QString& folder) {
    const auto refuse = [&](const QString& why) {
        return VellumError(
            QStringLiteral("冲突副本“%1”已合并，但无法移到“%2”（%3），它仍留在原处。")
                .arg(path, folder, why));
    };
    if (!QDir().mkpath(folder))
        throw refuse(QStringLiteral("无法创建文件夹"));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QFileInfo info(path);
    QString target = QDir(folder).filePath(info.fileName());
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = QDir(folder).filePath(
            QStringLiteral("%1-%2.%3").arg(info.completeBaseName()).arg(n).arg(info.suffix()));
    // Across file systems QFile copies and then removes the original.
    QFile file(path);
    if (!file.rename(target))
        throw refuse(file.errorString());
    return target;
}

} // namespace ConflictCopies
