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

DownloadOutcome TThreadDownfile::Download(const QString& address, const QString& folder,
                                          const QString& fileName) {
    Http::ActiveWorker active;
    DownloadOutcome outcome;
    if (Http::Aborted()) {
        outcome.result.error = Http::Error::Cancelled;
        return outcome;
    }
    const int fd = CreateUniqueFile(folder, fileName, &outcome.path);
    if (fd < 0) {
        outcome.fileError = errno;
        outcome.result.error = Http::Error::WriteFailed;
        return outcome;
    }
    Http::Request request;
    request.address = address;
    request.readTimeoutMs = kReadTimeoutMs;
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
        ::unlink(QFile::encodeName(outcome.path).constData());
    return outcome;
}

void TThreadDownfile::Start(const QString& address, const QString& folder, const QString& fileName,
                            UiHandOverPtr handOver, Done done) {
    pool().enqueue(
        [address, folder, fileName, handOver = std::move(handOver), done = std::move(done)] {
            const DownloadOutcome outcome = Download(address, folder, fileName);
            if (handOver && done)
                handOver->post([done, outcome] { done(outcome); });
        });
}
