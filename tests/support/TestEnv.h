#pragma once
// Every test runs in folders of its own: a program folder (VELLUM_HOME), a
// runtime folder (XDG_RUNTIME_DIR), a config folder (XDG_CONFIG_HOME), state
// and data folders (XDG_STATE_HOME, XDG_DATA_HOME) and a HOME whose ALSA
// setup points at the null device.
#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

class TestEnv {
  public:
    TestEnv();
    QString root() const { return m_root.path() + QLatin1Char('/'); }
    QString programDir() const { return root() + QStringLiteral("home/"); }
    QString runtimeBase() const { return root() + QStringLiteral("run/"); }
    // Where the program keeps its runtime files.
    QString runtimeDir() const { return runtimeBase() + QStringLiteral("vellum/"); }
    QString configHome() const { return root() + QStringLiteral("config/"); }
    QString stateHome() const { return root() + QStringLiteral("state/"); }
    QString dataHome() const { return root() + QStringLiteral("data/"); }
    // HOME: ~/.mozilla and the other dot folders land here.
    QString homeDir() const { return root() + QStringLiteral("user/"); }
    QString dataDir() const { return programDir() + QStringLiteral("date/"); }

    // Paths relative to the program folder.
    void writeFile(const QString& relative, const QByteArray& bytes) const;
    QByteArray readFile(const QString& relative) const;
    bool exists(const QString& relative) const;

    // The environment for a child process: the same isolated folders.
    QProcessEnvironment processEnvironment() const;

  private:
    QTemporaryDir m_root;
};
