#include "store/Rescue.h"

#include "platform/Paths.h"
#include "platform/VellumError.h"
#include "store/CategoryFile.h"
#include "store/TDateMan.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace Rescue {
namespace {
// A rescue folder holds this file once a start has named it.
const QString kNamed = QStringLiteral(".named");
} // namespace

QStringList defaultBases() {
    return {Paths::stateHome() + QStringLiteral("vellum/rescue/"),
            QStringLiteral("/var/tmp/vellum-%1/").arg(::getuid())};
}

QString write(const TDateMan& store, const QList<int>& categories, const QStringList& bases,
              const QDateTime& when, const QByteArray& editorPost) {
    QStringList failures;
    for (const QString& base : bases) {
        try {
            // Every level is private: posts may be personal.
            QString path;
            for (const QString& part : QDir::cleanPath(base).split(QLatin1Char('/'))) {
                path += part + QLatin1Char('/');
                if (!QFileInfo(path).isDir())
                    Paths::makePrivateDir(path);
            }
            Paths::makePrivateDir(path);
            const QString stamp = when.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
            QString folder = path + stamp;
            for (int n = 2; QFileInfo::exists(folder); ++n)
                folder = path + stamp + QStringLiteral("-%1").arg(n);
            Paths::makePrivateDir(folder);
            for (int k : categories) {
                QList<QByteArray> lines;
                for (int i = 0; i < store.RecordCount(k); ++i)
                    lines.append(store.record(k, i));
                CategoryFile::writeLines(folder + QStringLiteral("/Date%1.dat").arg(k + 1), lines);
            }
            if (!editorPost.isEmpty())
                CategoryFile::writeLines(folder + QLatin1Char('/') + kEditorFile, {editorPost});
            return folder + QLatin1Char('/');
        } catch (const VellumError& e) {
            failures << e.message();
        }
    }
    throw VellumError(
        QStringLiteral("无法写入备份文件夹：%1").arg(failures.join(QStringLiteral("；"))));
}

QStringList takeUnannounced(const QStringList& bases) {
    QStringList found;
    for (const QString& base : bases) {
        const QDir dir(base);
        for (const QFileInfo& entry :
             dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            if (entry.isSymLink() ||
                QFileInfo::exists(entry.filePath() + QLatin1Char('/') + kNamed))
                continue;
            QFile mark(entry.filePath() + QLatin1Char('/') + kNamed);
            if (mark.open(QIODevice::WriteOnly))
                mark.close();
            found << entry.filePath() + QLatin1Char('/');
        }
    }
    return found;
}
} // namespace Rescue
