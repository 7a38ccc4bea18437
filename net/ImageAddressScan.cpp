#include "net/ImageAddressScan.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <memory>

namespace {

// The dot before the ending matches any character, so "xgif" ends an
// address as well as ".gif".
const char kPattern[] = "(?i)(HTTPS?)://([_a-z\\d\\-]+(\\.[_a-z\\d\\-]+)+)"
                        "((/[ _a-z\\d\\-\\\\\\.]+)+)?(.gif|.jpg|.png|.swf)";

struct CodeDeleter {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct MatchDeleter {
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};

const pcre2_code* compiled() {
    static const std::unique_ptr<pcre2_code, CodeDeleter> code = [] {
        int error = 0;
        PCRE2_SIZE offset = 0;
        pcre2_code* c = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(kPattern), PCRE2_ZERO_TERMINATED,
                                      PCRE2_UTF, &error, &offset, nullptr);
        if (c)
            pcre2_jit_compile(c, PCRE2_JIT_COMPLETE);
        return std::unique_ptr<pcre2_code, CodeDeleter>(c);
    }();
    return code.get();
}

} // namespace

QStringList ScanImageAddresses(const QString& text) {
    QStringList found;
    const pcre2_code* code = compiled();
    if (!code)
        return found;
    const QByteArray utf8 = text.toUtf8();
    const auto* subject = reinterpret_cast<PCRE2_SPTR>(utf8.constData());
    const auto length = static_cast<PCRE2_SIZE>(utf8.size());
    std::unique_ptr<pcre2_match_data, MatchDeleter> match(
        pcre2_match_data_create_from_pattern(code, nullptr));
    PCRE2_SIZE start = 0;
    while (start < length) {
        const int rc =
            pcre2_match(code, subject, length, start, PCRE2_NO_UTF_CHECK, match.get(), nullptr);
        if (rc < 0)
            break;
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(match.get());
        found << QString::fromUtf8(utf8.constData() + ovector[0],
                                   static_cast<qsizetype>(ovector[1] - ovector[0]));
        start = ovector[1];
    }
    return found;
}
