#include "net/TThreadDownfile.h"

#include "net/DownloadNaming.h"

#include <QFile>

#include <atomic>
#include <cerrno>
#include <deque>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<qint64> g_maxFileSize{TThreadDownfile::kDefaultMaxFileSize};
std::mutex g_limitsMutex;
TThreadDownfile::Limits g_limits;

TThreadDownfile::Limits currentLimits() {
    std::lock_guard lock(g_limitsMutex);
    return g_limits;
}

// Up to kPoolSize detached threads that take queued jobs until the queue is
// empty. Never destroyed: a thread may still be leaving when the program ends.
class WorkerPool {
  public:
    void enqueue(std::function<void()> job) {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
        if (m_threads < TThreadDownfile::kPoolSize) {
            ++m_threads;
            std::thread([this] { work(); }).detach();
        }
    }

  private:
    void work() {
        for (;;) {
            std::function<void()> job;
            {
                std::lock_guard lock(m_mutex);
                if (m_jobs.empty()) {
                    --m_threads;
                    return;
                }
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
        }
    }

    std::mutex m_mutex;
    std::deque<std::function<void()>> m_jobs;
    int m_threads = 0;
};

WorkerPool& pool() {
    static auto* instance = new WorkerPool;
    return *instance;
}

bool writeAll(int fd, const char* data, std::size_t size, int* error) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

void TThreadDownfile::SetMaxFileSize(qint64 bytes) {
    g_maxFileSize = bytes;
}

void TThreadDownfile::SetLimits(const Limits& limits) {
    std::lock_guard lock(g_limitsMutex);
    g_limits = limits;
}

DownloadOutcome TThreadDownfile::Download(const QString& address, const DownloadDir& folder,
                                          const QString& fileName) {
    Http::ActiveWorker active;
    DownloadOutcome outcome;
    if (Http::Aborted()) {
        outcome.result.error = Http::Error::Cancelled;
        return outcome;
    }
    QString created;
    const int fd = CreateUniqueFileAt(folder.fd(), fileName, &created);
    outcome.path = DownloadFolder(folder.path(), fd < 0 ? fileName : created);
    if (fd < 0) {
        outcome.fileError = errno;
        outcome.result.error = Http::Error::WriteFailed;
        return outcome;
    }
    const Limits limits = currentLimits();
    Http::Request request;
    request.address = address;
    request.readTimeoutMs = limits.readTimeoutMs;
    request.lowSpeedBytes = limits.lowSpeedBytes;
    request.lowSpeedSeconds = limits.lowSpeedSeconds;
    request.overallTimeoutMs = limits.overallMs;
    request.maxRedirects = kMaxRedirects;
    request.maxBytes = g_maxFileSize;
    request.sink = [fd, &outcome](const char* data, std::size_t size) {
        return writeAll(fd, data, size, &outcome.fileError);
    };
    outcome.result = Http::Perform(request);
    outcome.ok = outcome.result.error == Http::Error::None && outcome.result.status >= 200 &&
                 outcome.result.status <= 299;
    if (::close(fd) != 0 && outcome.ok) {
        outcome.fileError = errno;
        outcome.ok = false;
        outcome.result.error = Http::Error::WriteFailed;
    }
    if (!outcome.ok)
        ::unlinkat(folder.fd(), QFile::encodeName(created).constData(), 0);
    return outcome;
}

DownloadOutcome TThreadDownfile::Download(const QString& address, const QString& folder,
                                          const QString& fileName) {
    int error = 0;
    const std::shared_ptr<DownloadDir> dir = DownloadDir::existing(folder, &error);
    if (!dir) {
        DownloadOutcome outcome;
        outcome.path = DownloadFolder(folder, fileName);
        outcome.fileError = error;
        outcome.result.error = Http::Error::WriteFailed;
        return outcome;
    }
    return Download(address, *dir, fileName);
}

void TThreadDownfile::Start(const QString& address, std::shared_ptr<const DownloadDir> folder,
                            const QString& fileName, UiHandOverPtr handOver, Done done) {
    pool().enqueue([address, folder = std::move(folder), fileName, handOver = std::move(handOver),
                    done = std::move(done)] {
        const DownloadOutcome outcome = Download(address, *folder, fileName);
        if (handOver && done)
            handOver->post([done, outcome] { done(outcome); });
    });
}
