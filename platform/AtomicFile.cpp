#include "platform/AtomicFile.h"

#include <QSaveFile>

namespace AtomicFile {

bool write(const QString& path, const QByteArray& data, QString* error) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        if (file.write(data) == data.size() && file.commit())
            return true;
        file.cancelWriting();
    }
    if (error)
        *error = file.errorString();
    return false;
}

} // namespace AtomicFile
