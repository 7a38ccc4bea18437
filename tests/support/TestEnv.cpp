#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>
#include <sys/stat.h>

TestEnv::TestEnv() {
    if (!m_root.isValid())
        throw std::runtime_error("cannot create a temporary folder");
    QDir(root()).mkpath(QStringLiteral("home/date"));
    QDir(root()).mkpath(QStringLiteral("run"));
    QDir(root()).mkpath(QStringLiteral("config"));
    QDir(root()).mkpath(QStringLiteral("user"));
    QDir(root()).mkpath(QStringLiteral("state"));
    QDir(root()).mkpath(QStringLiteral("share"));
    ::chmod(QFile::encodeName(runtimeBase()).constData(), 0700);
    QFile asoundrc(root() + QStringLiteral("user/.asoundrc"));
    if (asoundrc.open(QIODevice::WriteOnly))
        asoundrc.write("pcm.!default { type null }\nctl.!default { type hw card 0 }\n");
    qputenv("VELLUM_HOME", QFile::encodeName(programDir()));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeBase()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
    qputenv("XDG_STATE_HOME", QFile::encodeName(stateHome()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
    qputenv("HOME", QFile::encodeName(root() + QStringLiteral("user")));
}

void TestEnv::writeFile(const QString& relative, const QByteArray& bytes) const {
    const QString path = programDir() + relative;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file");
}

QByteArray TestEnv::readFile(const QString& relative) const {
    QFile file(programDir() + relative);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool TestEnv::exists(const QString& relative) const {
    return QFileInfo::exists(programDir() + relative);
}

QProcessEnvironment TestEnv::processEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELLUM_HOME"), programDir());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeBase());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
    env.insert(QStringLiteral("XDG_STATE_HOME"), stateHome());
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome());
    env.insert(QStringLiteral("HOME"), root() + QStringLiteral("user"));
    return env;
}
