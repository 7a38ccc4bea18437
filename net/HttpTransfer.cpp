#include "net/HttpTransfer.h"

#include <QUrl>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <curl/curl.h>
#include <mutex>

namespace Http {
namespace {

using Clock = std::chrono::steady_clock;

const char kUserAgent[] = "Mozilla/3.0 (compatible; Indy Library)";

std::atomic<bool> g_abort{false};
std::mutex g_mutex; // guards g_active and g_caBundle
std::condition_variable g_idle;
int g_active = 0;
QByteArray g_caBundle;

void globalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Exchange {
    const Request* request = nullptr;
    CURL* easy = nullptr;
    qint64 received = 0;
    bool tooLarge = false;
    bool writeFailed = false;
    bool clockStarted = false;
    Clock::time_point lastActivity;

    void touch() {
        clockStarted = true;
        lastActivity = Clock::now();
    }
};

size_t onHeader(char*, size_t size, size_t count, void* user) {
    static_cast<Exchange*>(user)->touch();
    return size * count;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* x = static_cast<Exchange*>(user);
    const size_t total = size * count;
    x->touch();
    long status = 0;
    curl_easy_getinfo(x->easy, CURLINFO_RESPONSE_CODE, &status);
    // The body of an error or redirect answer is not the file.
    if (status < 200 || status > 299)
        return total;
    x->received += static_cast<qint64>(total);
    if (x->request->maxBytes >= 0 && x->received > x->request->maxBytes) {
        x->tooLarge = true;
        return 0;
    }
    if (x->request->sink && !x->request->sink(data, total)) {
        x->writeFailed = true;
        return 0;
    }
    return total;
}

Error mapError(CURLcode code, CURL* easy, const Exchange& x) {
    switch (code) {
    case CURLE_OK:
        return Error::None;
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return Error::InvalidAddress;
    case CURLE_COULDNT_RESOLVE_HOST:
        return Error::Resolve;
    case CURLE_COULDNT_CONNECT: {
        long os = 0;
        curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &os);
        return os == ECONNREFUSED ? Error::Refused : Error::Connect;
    }
    case CURLE_OPERATION_TIMEDOUT:
        return Error::Timeout;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
        return Error::Certificate;
    case CURLE_SSL_CONNECT_ERROR:
        return Error::Tls;
    case CURLE_FILESIZE_EXCEEDED:
        return Error::TooLarge;
    case CURLE_WRITE_ERROR:
        if (x.tooLarge)
            return Error::TooLarge;
        return Error::WriteFailed;
    default:
        return Error::Network;
    }
}

struct Slist {
    curl_slist* list = nullptr;
    void add(const char* line) { list = curl_slist_append(list, line); }
    ~Slist() { curl_slist_free_all(list); }
};

} // namespace

QByteArray EncodeAddress(const QString& address) {
    const QUrl url(address, QUrl::TolerantMode);
    if (!url.isValid() || url.host().isEmpty())
        return {};
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return {};
    return url.toEncoded();
}

void SetCaBundle(const QByteArray& path) {
    std::lock_guard lock(g_mutex);
    g_caBundle = path;
}

ActiveWorker::ActiveWorker() {
    std::lock_guard lock(g_mutex);
    ++g_active;
}

ActiveWorker::~ActiveWorker() {
    std::lock_guard lock(g_mutex);
    if (--g_active == 0)
        g_idle.notify_all();
}

bool Aborted() {
    return g_abort.load();
}

bool AbortAll(int timeoutMs) {
    g_abort = true;
    std::unique_lock lock(g_mutex);
    return g_idle.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [] { return g_active == 0; });
}

void ResetAbort() {
    g_abort = false;
}

Result Perform(const Request& request) {
    globalInit();
    ActiveWorker active;
    Result result;
    if (g_abort) {
        result.error = Error::Cancelled;
        return result;
    }
    const QByteArray url = EncodeAddress(request.address);
    if (url.isEmpty()) {
        result.error = Error::InvalidAddress;
        return result;
    }
    QByteArray caBundle;
    {
        std::lock_guard lock(g_mutex);
        caBundle = g_caBundle;
    }

    CURL* easy = curl_easy_init();
    CURLM* multi = curl_multi_init();
    if (!easy || !multi) {
        curl_easy_cleanup(easy);
        curl_multi_cleanup(multi);
        result.error = Error::Network;
        return result;
    }
    Exchange x;
    x.request = &request;
    x.easy = easy;

    Slist headers;
    headers.add("Accept: text/html, */*");
    headers.add("Expect:");
    if (request.post)
        headers.add("Content-Type: application/x-www-form-urlencoded");

    curl_easy_setopt(easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.list);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION,
                     request.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.connectTimeoutMs));
    if (!caBundle.isEmpty()) {
        curl_easy_setopt(easy, CURLOPT_CAINFO, caBundle.constData());
        curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
    }
    if (request.post) {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.constData());
    } else {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    }
    if (request.maxRedirects > 0) {
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(request.maxRedirects));
    }
    if (request.maxBytes >= 0)
        curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE,
                         static_cast<curl_off_t>(request.maxBytes));
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &x);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &x);

    curl_multi_add_handle(multi, easy);
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result.error = Error::Network;
            break;
        }
        int left = 0;
        const CURLMsg* msg = curl_multi_info_read(multi, &left);
        if (msg && msg->msg == CURLMSG_DONE) {
            result.error = mapError(msg->data.result, easy, x);
            break;
        }
        if (g_abort) {
            result.error = Error::Cancelled;
            break;
        }
        // The read timeout runs from the connection on and restarts with
        // every byte of the answer, as a blocking read with a timeout would.
        if (!x.clockStarted) {
            curl_off_t connected = 0;
            curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connected);
            if (connected > 0)
                x.touch();
        } else if (Clock::now() - x.lastActivity >
                   std::chrono::milliseconds(request.readTimeoutMs)) {
            result.error = Error::Timeout;
            break;
        }
        curl_multi_poll(multi, nullptr, 0, 50, nullptr);
    }
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &result.status);
    curl_multi_remove_handle(multi, easy);
    curl_easy_cleanup(easy);
    curl_multi_cleanup(multi);
    return result;
}

QString Describe(const Result& result) {
    switch (result.error) {
    case Error::None:
        return QStringLiteral("HTTP %1").arg(result.status);
    case Error::InvalidAddress:
        return QStringLiteral("地址无效");
    case Error::Resolve:
        return QStringLiteral("找不到服务器");
    case Error::Refused:
        return QStringLiteral("连接被拒绝");
    case Error::Connect:
        return QStringLiteral("无法连接服务器");
    case Error::Timeout:
        return QStringLiteral("服务器没有响应");
    case Error::Certificate:
        return QStringLiteral("证书无效");
    case Error::Tls:
        return QStringLiteral("安全连接失败");
    case Error::TooLarge:
        return QStringLiteral("文件太大");
    case Error::WriteFailed:
        return QStringLiteral("无法写入文件");
    case Error::Cancelled:
        return QStringLiteral("已取消");
    case Error::Network:
        break;
    }
    return QStringLiteral("网络错误");
}

} // namespace Http
