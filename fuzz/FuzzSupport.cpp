#include "FuzzSupport.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace Fuzz {

const QString& ScratchDir() {
    // Never destroyed: the clean-up at exit still needs it.
    static const QString& dir = *new QString([] {
        const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        QByteArray pattern = QByteArray(base) + "/vellum-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        const QString root = QString::fromLocal8Bit(pattern) + QLatin1Char('/');
        for (const char* sub : {"home", "config", "state", "data", "runtime"})
            QDir().mkpath(root + QLatin1String(sub));
        const auto set = [&](const char* var, const char* sub) {
            ::setenv(var, QFile::encodeName(root + QLatin1String(sub)).constData(), 1);
        };
        set("VELLUM_HOME", "home");
        set("HOME", "home");
        set("XDG_CONFIG_HOME", "config");
        set("XDG_STATE_HOME", "state");
        set("XDG_DATA_HOME", "data");
        set("XDG_RUNTIME_DIR", "runtime");
        ::chmod(QFile::encodeName(root + QLatin1String("runtime")).constData(), 0700);
        // The folder goes when the process ends normally; a crash leaves it
        // for the input to be replayed against.
        std::atexit([] { QDir(ScratchDir()).removeRecursively(); });
        return root;
    }());
    return dir;
}

QString WriteScratchFile(const QString& name, const QByteArray& bytes) {
    const QString path = ScratchDir() + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::abort();
    }
    return path;
}

void Fail(const char* property, const QByteArray& a, const QByteArray& b) {
    std::fprintf(stderr, "\n*** property failed: %s\n", property);
    if (!a.isNull())
        std::fprintf(stderr, "    first:  %s\n",
                     a.toPercentEncoding(" ,.:;/[]=<>$'\"").constData());
    if (!b.isNull())
        std::fprintf(stderr, "    second: %s\n",
                     b.toPercentEncoding(" ,.:;/[]=<>$'\"").constData());
    std::abort();
}

} // namespace Fuzz
