#pragma once
// One image download: claims a file of its own in the download folder, GETs
// the address into it as the answer arrives and keeps it only when a 2xx
// answer came whole (redirects followed, at most five, http and https only,
// never from https to http). A failed, oversized, stalled, too slow or
// cancelled download leaves no file. Downloads run on a small shared pool of
// workers, not one thread each; since every file has a deadline and a minimum
// speed, files that hang can hold a later one back no longer than that.
#include "net/DownloadDir.h"
#include "net/HttpTransfer.h"
#include "net/UiHandOver.h"

#include <QString>

#include <functional>
#include <memory>

struct DownloadOutcome {
    bool ok = false;
    QString path;        // the file written, or the one that was removed
    Http::Result result; // of the exchange; InvalidAddress etc. as given
    int fileError = 0;   // errno when the file could not be created or written
};

class TThreadDownfile {
  public:
    // What a file may take: no byte for readTimeoutMs, less than
    // lowSpeedBytes a second for lowSpeedSeconds, or longer than overallMs
    // in all fails it.
    struct Limits {
        int readTimeoutMs = 5000;
        long lowSpeedBytes = 1024;
        long lowSpeedSeconds = 15;
        int overallMs = 5 * 60 * 1000;
    };
    static constexpr int kMaxRedirects = 5;
    static constexpr int kPoolSize = 8;
    static constexpr qint64 kDefaultMaxFileSize = qint64(256) << 20;

    using Done = std::function<void(const DownloadOutcome& outcome)>;

    // Queues the download; done runs on the receiver's thread afterwards.
    static void Start(const QString& address, std::shared_ptr<const DownloadDir> folder,
                      const QString& fileName, UiHandOverPtr handOver, Done done);

    // The same download, run on the calling thread.
    static DownloadOutcome Download(const QString& address, const DownloadDir& folder,
                                    const QString& fileName);
    // Into a folder that exists, taken as it is.
    static DownloadOutcome Download(const QString& address, const QString& folder,
                                    const QString& fileName);

    // Size limit of one file (tests set a small one).
    static void SetMaxFileSize(qint64 bytes);
    // Time limits of every file (tests set short ones).
    static void SetLimits(const Limits& limits);
};
