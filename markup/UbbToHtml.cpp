#include "markup/UbbToHtml.h"

#include "platform/AnsiCodePage.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <memory>
#include <vector>

namespace UbbPreview {
namespace {

template <class T, void (*Free)(T*)> struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using Code = std::unique_ptr<pcre2_code, Deleter<pcre2_code, pcre2_code_free>>;
using MatchData =
    std::unique_ptr<pcre2_match_data, Deleter<pcre2_match_data, pcre2_match_data_free>>;
using MatchContext =
    std::unique_ptr<pcre2_match_context, Deleter<pcre2_match_context, pcre2_match_context_free>>;
using JitStack = std::unique_ptr<pcre2_jit_stack, Deleter<pcre2_jit_stack, pcre2_jit_stack_free>>;

QString engineMessage(int code) {
    PCRE2_UCHAR buffer[256];
    if (pcre2_get_error_message(code, buffer, sizeof buffer) < 0)
        return QStringLiteral("error %1").arg(code);
    return QString::fromUtf8(reinterpret_cast<const char*>(buffer));
}

// The engine calls this before every item of the pattern, also while it
// backtracks, so a match that goes on and on is seen here and abandoned.
struct Watch {
    Clock::time_point deadline;
    unsigned calls = 0;
    bool expired = false;
};

int checkTime(pcre2_callout_block*, void* data) {
    auto* watch = static_cast<Watch*>(data);
    // Between two calls the engine does at most one item's scan, so looking
    // at the clock every 64th call keeps the overrun short and the cost low.
    if ((++watch->calls & 63u) == 0 && Clock::now() >= watch->deadline) {
        watch->expired = true;
        return PCRE2_ERROR_CALLOUT;
    }
    return 0;
}

struct Piece {
    QByteArray literal;
    int group = -1;
};

std::vector<Piece> parseReplacement(const QByteArray& replacement) {
    std::vector<Piece> pieces;
    QByteArray literal;
    for (qsizetype i = 0; i < replacement.size(); ++i) {
        const char c = replacement[i];
        if (c == '$' && i + 1 < replacement.size() && replacement[i + 1] >= '0' &&
            replacement[i + 1] <= '9') {
            if (!literal.isEmpty())
                pieces.push_back({std::exchange(literal, {}), -1});
            pieces.push_back({{}, replacement[i + 1] - '0'});
            ++i;
        } else {
            literal += c;
        }
    }
    if (!literal.isEmpty())
        pieces.push_back({literal, -1});
    return pieces;
}

qsizetype utf8Length(unsigned char lead) {
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

QString derived(QString pattern, const char* one, const char* two, const char* three) {
    pattern.replace(QLatin1String("["), QLatin1String("\\["));
    pattern.replace(QLatin1String("]"), QLatin1String("\\]"));
    pattern.replace(QLatin1String("/"), QLatin1String("\\/"));
    pattern.replace(QLatin1String("$1"), QLatin1String(one));
    if (two)
        pattern.replace(QLatin1String("$2"), QLatin1String(two));
    if (three)
        pattern.replace(QLatin1String("$3"), QLatin1String(three));
    return pattern;
}

} // namespace

QString LinkPattern(const QString& urlTemplate) {
    return derived(urlTemplate, "(.[^\\[]*)", "(.[^\\[]*)", nullptr);
}

QString ImagePattern(const QString& imgTemplate) {
    return derived(imgTemplate, "(.[^\\[]*)", nullptr, nullptr);
}

QString FlashPattern(const QString& flashTemplate) {
    return derived(flashTemplate, "*([0-9]*)", "*([0-9]*)", "(.[^\\[]*)");
}

QByteArray RegexReplaceAll(const QByteArray& pattern, const QByteArray& text,
                           const QByteArray& replacement, Clock::time_point deadline) {
    if (Clock::now() >= deadline)
        throw RuleTimeout(QStringLiteral("time budget spent"));
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    const Code code(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.constData()),
                                  PCRE2_SIZE(pattern.size()),
                                  PCRE2_UTF | PCRE2_CASELESS | PCRE2_DOTALL | PCRE2_AUTO_CALLOUT,
                                  &error, &errorOffset, nullptr));
    if (!code)
        throw RuleError(
            QStringLiteral("%1 (offset %2)").arg(engineMessage(error)).arg(errorOffset));
    // Without JIT the interpreter runs the same pattern, only slower.
    pcre2_jit_compile(code.get(), PCRE2_JIT_COMPLETE);

    Watch watch{deadline};
    const MatchContext context(pcre2_match_context_create(nullptr));
    const MatchData match(pcre2_match_data_create_from_pattern(code.get(), nullptr));
    const JitStack stack(pcre2_jit_stack_create(32 * 1024, 16 * 1024 * 1024, nullptr));
    if (!context || !match)
        throw RuleError(QStringLiteral("out of memory"));
    pcre2_set_callout(context.get(), checkTime, &watch);
    if (stack)
        pcre2_jit_stack_assign(context.get(), nullptr, stack.get());

    const std::vector<Piece> pieces = parseReplacement(replacement);
    const auto* subject = reinterpret_cast<PCRE2_SPTR>(text.constData());
    const auto length = PCRE2_SIZE(text.size());
    QByteArray out;
    out.reserve(text.size());
    PCRE2_SIZE copied = 0;
    PCRE2_SIZE offset = 0;
    uint32_t retry = 0;
    // The text is checked for valid UTF-8 once, not at every match.
    uint32_t checked = 0;
    for (;;) {
        const int rc = pcre2_match(code.get(), subject, length, offset, retry | checked,
                                   match.get(), context.get());
        checked = PCRE2_NO_UTF_CHECK;
        if (rc == PCRE2_ERROR_NOMATCH) {
            if (!retry || offset >= length)
                break;
            // No non-empty match where an empty one stood: step one character on.
            offset += std::min<PCRE2_SIZE>(utf8Length(subject[offset]), length - offset);
            retry = 0;
            continue;
        }
        if (rc < 0) {
            if (watch.expired)
                throw RuleTimeout(QStringLiteral("time budget spent"));
            throw RuleError(engineMessage(rc), false);
        }
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(match.get());
        // A match never starts before the text already copied; the clamp
        // only guards the arithmetic below.
        const PCRE2_SIZE start = std::max(copied, std::min(ov[0], ov[1]));
        const PCRE2_SIZE end = ov[1];
        out.append(text.constData() + copied, qsizetype(start - copied));
        for (const Piece& piece : pieces) {
            if (piece.group < 0) {
                out.append(piece.literal);
            } else if (piece.group < rc && ov[2 * piece.group] != PCRE2_UNSET) {
                const PCRE2_SIZE from = ov[2 * piece.group];
                out.append(text.constData() + from, qsizetype(ov[2 * piece.group + 1] - from));
            }
        }
        copied = end;
        offset = end;
        if (start == end) {
            if (end >= length)
                break;
            retry = PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED;
        } else {
            retry = 0;
        }
    }
    out.append(text.constData() + copied, qsizetype(length - copied));
    return out;
}

} // namespace UbbPreview

QString UbbToHtml(const QString& ubb, const TSettingsMirror& settings,
                  std::chrono::milliseconds budget) {
    using namespace UbbPreview;
    const Clock::time_point deadline = Clock::now() + budget;

    // The derived patterns, built anew at each preview from the templates.
    const struct {
        const QByteArray& stored;
        QString (*derive)(const QString&);
        const char* name;
    } templates[] = {{settings.UBBImg, ImagePattern, "图片标签"},
                     {settings.UBBUrl, LinkPattern, "链接标签"},
                     {settings.UBBFlash, FlashPattern, "Flash动画标签"}};
    QByteArray derivedPatterns[3];
    for (int i = 0; i < 3; ++i) {
        const QString text = AnsiCodePage::toUnicode(templates[i].stored);
        // An empty pattern would match between every two characters.
        if (text.isEmpty())
            throw RuleError(QStringLiteral("无法预览：%1模板为空。请在参数设置的“UBB语法”页填写"
                                           "模板或恢复默认值。")
                                .arg(QString::fromUtf8(templates[i].name)));
        derivedPatterns[i] = templates[i].derive(text).toUtf8();
    }

    const struct {
        QByteArray pattern;
        const char* replacement;
        const char* templateName;
    } rules[] = {
        {" ", "&nbsp;", nullptr},
        {R"((\[B\](.[^\[]*)\[\/B\]))", "<b>$2</b>", nullptr},
        {R"((\[COLOR=(.[^\[]*)\])(.[^\[]*)(\[\/COLOR\]))", "<font color=$2>$3</font>", nullptr},
        {R"((\[EMAIL\])(.[^\[]*)(\[\/EMAIL\]))", R"(<A HREF="mailto:$2">$2</A>)", nullptr},
        {R"((\[EMAIL=(.[^\[]*)\])(.[^\[]*)(\[\/EMAIL\]))",
         R"(<A HREF="mailto:$2" TARGET=_blank>$3</A>)", nullptr},
        {derivedPatterns[0], R"(<img src="$1" border=0>)", templates[0].name},
        {R"(\[URL\](.[^\[]*)\[\/URL\])", R"(<a href="$1" target=_blank>$1</a>)", nullptr},
        {derivedPatterns[1], R"(<a href="$1" target=_blank>$2</a>)", templates[1].name},
        {R"(\[FLASH\](.[^\[]*)\[\/FLASH\])",
         R"(<EMBED src=$1 quality=high wmode=transparent TYPE="application/x-shockwave-flash"></EMBED>)",
         nullptr},
        {derivedPatterns[2],
         R"(<EMBED src=$3 width=$1 height=$2 quality=high wmode=transparent TYPE="application/x-shockwave-flash"></EMBED>)",
         templates[2].name},
        {R"(\[FLASH=*([0-9]*),*([0-9]*),*([0-9]*)\](.[^\[]*)\[\/FLASH])",
         R"(<EMBED src=$4 width=$1 height=$2 quality=high wmode=transparent TYPE="application/x-shockwave-flash"></EMBED>)",
         nullptr},
        {"\r\n", "<br>", nullptr},
    };

    QByteArray text = ubb.toUtf8();
    int number = 0;
    for (const auto& rule : rules) {
        ++number;
        try {
            text = RegexReplaceAll(rule.pattern, text, rule.replacement, deadline);
        } catch (const RuleTimeout&) {
            throw RuleTimeout(
                QStringLiteral("预览转换超时：第%1条转换规则运行超过%2秒，已停止转换，"
                               "没有生成预览页。")
                    .arg(number)
                    .arg(double(budget.count()) / 1000.0));
        } catch (const RuleError& e) {
            if (!e.invalidPattern())
                throw RuleError(QStringLiteral("无法预览：第%1条转换规则无法完成（%2）。")
                                    .arg(number)
                                    .arg(e.message()),
                                false);
            QString message = QStringLiteral("无法预览：第%1条转换规则的表达式有误（%2）。")
                                  .arg(number)
                                  .arg(e.message());
            if (rule.templateName)
                message += QStringLiteral("\n这条规则来自参数设置“UBB语法”页的%1模板。")
                               .arg(QString::fromUtf8(rule.templateName));
            throw RuleError(message);
        }
    }
    return QString::fromUtf8(text);
}
