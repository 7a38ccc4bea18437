#include "platform/AtomicFile.h"

#include "platform/StagedWrites.h"
#include "platform/VellumError.h"

namespace AtomicFile {

bool write(const QString& path, const QByteArray& data, QString* error) {
    QStringList errors;
    try {
        StagedWrites writes;
        writes.stage(path, {data});
        errors = writes.commit();
    } catch (const VellumError& e) {
        errors << e.message();
    }
    if (!errors.isEmpty() && error)
        *error = errors.first();
    return errors.isEmpty();
}

} // namespace AtomicFile
