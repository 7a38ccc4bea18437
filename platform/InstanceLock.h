#pragma once
#include <QString>

// Single-instance guard: an advisory flock on "QUIREV3.0.lock" in the runtime
// folder. The kernel drops it when the holder dies, like an abandoned mutex.
class InstanceLock {
  public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // True when this process now holds the lock; false when another one does.
    // Throws VellumError when the lock file cannot be opened.
    bool tryAcquire(const QString& runtimeDir);

  private:
    int m_fd = -1;
};
