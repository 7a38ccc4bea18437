#pragma once
// Starts the program for the browser host so that it outlives the host: in a
// session of its own (the browser ending the host's process group does not
// reach it) with its standard streams on /dev/null (nothing it prints can
// corrupt the messaging stream on our standard output).
#include <QString>

#include <sys/types.h>

class ProgramStarter {
  public:
    // Starts exePath. Returns false with the reason in *error when it cannot
    // be executed.
    bool start(const QString& exePath, QString* error);

    // While the host still waits: whether the started process has already
    // ended, and how. A second instance ends at once with status 0 when
    // another one holds the lock, which is no failure.
    enum class State { Running, ExitedCleanly, Failed };
    State poll(QString* how = nullptr);

  private:
    pid_t m_pid = -1;
};
