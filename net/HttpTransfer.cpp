#include "net/HttpTransfer.h"

#include <QUrl>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <curl/curl.h>
#include <mutex>
#include <optional>

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
    QUrl url; // of this hop, to resolve a relative Location against
    qint64 received = 0;
    bool tooLarge = false;
    bool writeFailed = false;
    bool stoppedAtHead = false; // the head was all we wanted of this answer
    QByteArray location;
    QUrl redirect; // where the answer sends us, when it is to be followed
    bool clockStarted = false;
    Clock::time_point lastActivity;

    void touch() {
        clockStarted = true;
        lastActivity = Clock::now();
    }
};

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* x = static_cast<Exchange*>(user);
    const size_t total = size * count;
    x->touch();
    const QByteArray line = QByteArray(data, static_cast<qsizetype>(total)).trimmed();
    if (line.startsWith("HTTP/")) {
        x->location.clear();
        return total;
    }
    if (!line.isEmpty()) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "location")
            x->location = line.mid(colon + 1).trimmed();
        return total;
    }
    // The end of a head: only a 2xx answer's body is read.
    long status = 0;
    curl_easy_getinfo(x->easy, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 100 && status <= 199)
        return total;
    if (status >= 200 && status <= 299)
        return total;
    if (status >= 300 && status <= 399 && x->request->maxRedirects > 0 && !x->location.isEmpty())
        x->redirect = x->url.resolved(QUrl::fromEncoded(x->location, QUrl::TolerantMode));
    x->stoppedAtHead = true;
    return 0;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* x = static_cast<Exchange*>(user);
    const size_t total = size * count;
    x->touch();
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
        if (x.stoppedAtHead)
            return Error::None;
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

namespace {

// One request and its answer, on an address already encoded.
Result performHop(const Request& request, const QByteArray& url, Exchange& x,
                  std::optional<Clock::time_point> deadline) {
    Result result;
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
    x.easy = easy;

    Slist headers;
    headers.add("Accept: text/html, */*");
    headers.add("Expect:");
    if (request.post)
        headers.add("Content-Type: application/x-www-form-urlencoded");

    curl_easy_setopt(easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.list);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION,
                     request.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.connectTimeoutMs));
    if (request.lowSpeedBytes > 0 && request.lowSpeedSeconds > 0) {
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, request.lowSpeedBytes);
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, request.lowSpeedSeconds);
    }
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
        const Clock::time_point now = Clock::now();
        if (deadline && now > *deadline) {
            result.error = Error::Timeout;
            break;
        }
        // The read timeout runs from the connection on and restarts with
        // every byte of the answer, as a blocking read with a timeout would.
        if (!x.clockStarted) {
            curl_off_t connected = 0;
            curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connected);
            if (connected > 0)
                x.touch();
        } else if (now - x.lastActivity > std::chrono::milliseconds(request.readTimeoutMs)) {
            result.error = Error::Timeout;
            break;
        }
        curl_multi_poll(multi, nullptr, 0, 50, nullptr);
    }
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &result.status);
    curl_multi_remove_handle(multi, easy);
    curl_easy_cleanup(easy);
    curl_multi_cleanup(multi);
    x.easy = nullptr;
    return result;
}

} // namespace

Result Perform(const Request& request) {
    globalInit();
    ActiveWorker active;
    Result result;
    if (g_abort) {
        result.error = Error::Cancelled;
        return result;
    }
    QByteArray url = EncodeAddress(request.address);
    if (url.isEmpty()) {
        result.error = Error::InvalidAddress;
        return result;
    }
    std::optional<Clock::time_point> deadline;
    if (request.overallTimeoutMs > 0)
        deadline = Clock::now() + std::chrono::milliseconds(request.overallTimeoutMs);
    for (int hop = 0;; ++hop) {
        Exchange x;
        x.request = &request;
        x.url = QUrl::fromEncoded(url);
        result = performHop(request, url, x, deadline);
        if (result.error != Error::None || !x.redirect.isValid())
            return result;
        if (hop >= request.maxRedirects) {
            result.error = Error::Network; // too many redirects
            return result;
        }
        // A secure address never hands the request on to a plain one.
        if (x.url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 &&
            x.redirect.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0) {
            result.error = Error::InsecureRedirect;
            return result;
        }
        url = EncodeAddress(x.redirect.toString(QUrl::FullyEncoded));
        if (url.isEmpty()) {
            result.error = Error::InvalidAddress;
            return result;
        }
    }
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
    case Error::InsecureRedirect:
        return QStringLiteral("服务器把安全连接转到了不安全的地址");
    case Error::Network:
        break;
    }
    return QStringLiteral("网络错误");
}

} // namespace Http
