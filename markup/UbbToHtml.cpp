#include "markup/UbbToHtml.h"

#include "platform/AnsiCodePage.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <QRegularExpression>

#include <algorithm>
#include <cctype>
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
    // The clock is read at every (mask + 1)th call.
    unsigned mask = 63;
};

int checkTime(pcre2_callout_block*, void* data) {
    auto* watch = static_cast<Watch*>(data);
    // Between two calls the engine does at most one scan over the text, so
    // looking at the clock every few calls keeps the overrun short and the
    // cost low.
    if ((++watch->calls & watch->mask) == 0 && Clock::now() >= watch->deadline) {
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

namespace {
Code compile(const QByteArray& pattern, uint32_t extra) {
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    Code code(pcre2_compile(
        reinterpret_cast<PCRE2_SPTR>(pattern.constData()), PCRE2_SIZE(pattern.size()),
        PCRE2_UTF | PCRE2_CASELESS | PCRE2_DOTALL | extra, &error, &errorOffset, nullptr));
    if (!code)
        throw RuleError(
            QStringLiteral("%1 (offset %2)").arg(engineMessage(error)).arg(errorOffset));
    // Without JIT the interpreter runs the same pattern, only slower.
    pcre2_jit_compile(code.get(), PCRE2_JIT_COMPLETE);
    return code;
}

// The engine is watched by the clock so that backtracking without end is
// stopped at the deadline. Watching before every item of the pattern costs
// more than the matching itself on a post dense with tags; where every loop
// of a pattern stands inside a group (the fixed rules, and templates without
// pattern characters of their own), a look after each group is enough, as
// any step back in a loop leaves its group again.
QByteArray withGroupCallouts(const QByteArray& pattern) {
    QByteArray out;
    out.reserve(pattern.size() * 2);
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        out += c;
        if (c == '\\' && i + 1 < pattern.size()) {
            out += pattern[++i];
        } else if (c == '[') {
            // A class runs to its first "]" that is not its first member.
            qsizetype j = i + 1;
            if (j < pattern.size() && pattern[j] == '^')
                out += pattern[j++];
            if (j < pattern.size() && pattern[j] == ']')
                out += pattern[j++];
            for (; j < pattern.size() && pattern[j] != ']'; ++j) {
                if (pattern[j] == '\\' && j + 1 < pattern.size())
                    out += pattern[j++];
                out += pattern[j];
            }
            if (j < pattern.size())
                out += pattern[j];
            i = j;
        } else if (c == ')') {
            out += "(?C)";
        }
    }
    return out;
}

class Matcher {
  public:
    Matcher(const QByteArray& pattern, bool loopsInGroups, Clock::time_point deadline)
        : m_code(loopsInGroups ? compileChecked(pattern) : compile(pattern, PCRE2_AUTO_CALLOUT)),
          m_watch{deadline}, m_context(pcre2_match_context_create(nullptr)),
          m_match(pcre2_match_data_create_from_pattern(m_code.get(), nullptr)),
          m_stack(pcre2_jit_stack_create(32 * 1024, 16 * 1024 * 1024, nullptr)) {
        if (!m_context || !m_match)
            throw RuleError(QStringLiteral("out of memory"));
        m_watch.mask = loopsInGroups ? 7u : 63u;
        pcre2_set_callout(m_context.get(), checkTime, &m_watch);
        if (m_stack)
            pcre2_jit_stack_assign(m_context.get(), nullptr, m_stack.get());
    }

    int match(PCRE2_SPTR subject, PCRE2_SIZE length, PCRE2_SIZE offset, uint32_t options) {
        return pcre2_match(m_code.get(), subject, length, offset, options, m_match.get(),
                           m_context.get());
    }
    bool expired() const { return m_watch.expired; }
    const PCRE2_SIZE* ovector() const { return pcre2_get_ovector_pointer(m_match.get()); }

  private:
    // The pattern as given must compile, so its errors name its own offsets.
    static Code compileChecked(const QByteArray& pattern) {
        compile(pattern, 0);
        return compile(withGroupCallouts(pattern), 0);
    }
    Code m_code;
    Watch m_watch;
    MatchContext m_context;
    MatchData m_match;
    JitStack m_stack;
};

// Every match of a rule lies before searchEnd, so the engine is given only
// that part of the text; the rest is copied as it is.
QByteArray replaceAll(const QByteArray& pattern, const QByteArray& text,
                      const QByteArray& replacement, Clock::time_point deadline,
                      PCRE2_SIZE searchEnd, bool loopsInGroups) {
    if (Clock::now() >= deadline)
        throw RuleTimeout(QStringLiteral("time budget spent"));
    Matcher matcher(pattern, loopsInGroups, deadline);
    const std::vector<Piece> pieces = parseReplacement(replacement);
    const auto* subject = reinterpret_cast<PCRE2_SPTR>(text.constData());
    const auto length = std::min(PCRE2_SIZE(text.size()), searchEnd);
    QByteArray out;
    out.reserve(text.size() + text.size() / 4);
    PCRE2_SIZE copied = 0;
    PCRE2_SIZE offset = 0;
    uint32_t retry = 0;
    // The text is checked for valid UTF-8 once, not at every match.
    uint32_t checked = 0;
    for (unsigned matches = 0;; ++matches) {
        if ((matches & 255u) == 255u && Clock::now() >= deadline)
            throw RuleTimeout(QStringLiteral("time budget spent"));
        const int rc = matcher.match(subject, length, offset, retry | checked);
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
            if (matcher.expired())
                throw RuleTimeout(QStringLiteral("time budget spent"));
            throw RuleError(engineMessage(rc), false);
        }
        const PCRE2_SIZE* ov = matcher.ovector();
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
    out.append(text.constData() + copied, text.size() - qsizetype(copied));
    return out;
}

// A rule whose pattern is one fixed string without case (a blank, CR LF).
QByteArray replaceLiteral(const QByteArray& text, QByteArrayView from, QByteArrayView to) {
    QByteArray out;
    out.reserve(text.size() + text.size() / 2);
    const QByteArrayView all(text);
    qsizetype copied = 0;
    for (qsizetype at; (at = all.indexOf(from, copied)) >= 0; copied = at + from.size()) {
        out.append(all.sliced(copied, at - copied));
        out.append(to);
    }
    out.append(all.sliced(copied));
    return out;
}

// Whether the rule's closing part ("[/" and ASCII letters and "]") may stand
// at a "[/" found at at. Letters match without case; a byte of a longer
// character may match a letter too (K matches the Kelvin sign), so such a
// character is taken as a possible match.
bool mayClose(const QByteArray& text, qsizetype at, const QByteArray& closing) {
    for (qsizetype i = 2; i < closing.size(); ++i) {
        if (at + i >= text.size())
            return false;
        const auto c = uchar(text[at + i]);
        if (c >= 0x80)
            return true;
        if (std::tolower(c) != std::tolower(uchar(closing[i])))
            return false;
    }
    return true;
}

// Where the matches of a rule whose every match ends in closing must end by:
// the last place its closing part may stand, and room for the rest of it,
// whose letters may match characters of up to three bytes when case is
// ignored. -1 when the rule cannot match at all. A rule whose closing part is
// not in the text is skipped instead of being tried at every opening tag,
// which can take the engine minutes.
qsizetype matchesEndBy(const QByteArray& text, const QByteArray& closing) {
    qsizetype last = text.lastIndexOf("[/");
    while (last >= 0 && !mayClose(text, last, closing))
        last = last > 0 ? text.lastIndexOf("[/", last - 1) : -1;
    if (last < 0)
        return -1;
    qsizetype end = std::min(text.size(), last + 2 + 3 * (closing.size() - 2));
    // The engine takes whole UTF-8 characters only.
    while (end < text.size() && (uchar(text[end]) & 0xC0) == 0x80)
        ++end;
    return end;
}

// The fixed closing part of a template ("[/img]" of "[img]$1[/img]"), when
// the template ends in one after its last placeholder; empty otherwise.
QByteArray closingOf(const QString& templateText) {
    qsizetype last = -1;
    for (const char* placeholder : {"$1", "$2", "$3"})
        last = std::max(last, templateText.lastIndexOf(QLatin1String(placeholder)));
    if (last < 0)
        return {};
    const QString tail = templateText.mid(last + 2);
    static const QRegularExpression plain(QStringLiteral("^\\[/[A-Za-z0-9]+\\]$"));
    return plain.match(tail).hasMatch() ? tail.toLatin1() : QByteArray();
}
// Whether the only loops of a template's derived pattern are the groups of
// its placeholders: nothing of the template is a pattern character.
bool loopsOnlyInPlaceholders(QString templateText) {
    for (const char* placeholder : {"$1", "$2", "$3"})
        templateText.remove(QLatin1String(placeholder));
    for (const QChar c : templateText)
        if (QStringView(u"\\.^$|?*+(){}").contains(c))
            return false;
    return true;
}
} // namespace

QByteArray RegexReplaceAll(const QByteArray& pattern, const QByteArray& text,
                           const QByteArray& replacement, Clock::time_point deadline) {
    return replaceAll(pattern, text, replacement, deadline, PCRE2_SIZE(text.size()), false);
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
    QByteArray derivedClosings[3];
    bool derivedLoopsInGroups[3] = {};
    for (int i = 0; i < 3; ++i) {
        const QString text = AnsiCodePage::toUnicode(templates[i].stored);
        // An empty pattern would match between every two characters.
        if (text.isEmpty())
            throw RuleError(QStringLiteral("无法预览：%1模板为空。请在参数设置的“UBB语法”页填写"
                                           "模板或恢复默认值。")
                                .arg(QString::fromUtf8(templates[i].name)));
        derivedPatterns[i] = templates[i].derive(text).toUtf8();
        derivedClosings[i] = closingOf(text);
        derivedLoopsInGroups[i] = loopsOnlyInPlaceholders(text);
    }

    // closing: what every match of the rule ends in, when that is known;
    // literal: the pattern is that text itself.
    const struct {
        QByteArray pattern;
        const char* replacement;
        const char* templateName;
        QByteArray closing;
        bool literal;
        bool loopsInGroups = true;
    } rules[] = {
        {" ", "&nbsp;", nullptr, {}, true},
        {R"((\[B\](.[^\[]*)\[\/B\]))", "<b>$2</b>", nullptr, "[/B]", false},
        {R"((\[COLOR=(.[^\[]*)\])(.[^\[]*)(\[\/COLOR\]))", "<font color=$2>$3</font>", nullptr,
         "[/COLOR]", false},
        {R"((\[EMAIL\])(.[^\[]*)(\[\/EMAIL\]))", R"(<A HREF="mailto:$2">$2</A>)", nullptr,
         "[/EMAIL]", false},
        {R"((\[EMAIL=(.[^\[]*)\])(.[^\[]*)(\[\/EMAIL\]))",
         R"(<A HREF="mailto:$2" TARGET=_blank>$3</A>)", nullptr, "[/EMAIL]", false},
        {derivedPatterns[0], R"(<img src="$1" border=0>)", templates[0].name, derivedClosings[0],
         false, derivedLoopsInGroups[0]},
        {R"(\[URL\](.[^\[]*)\[\/URL\])", R"(<a href="$1" target=_blank>$1</a>)", nullptr, "[/URL]",
         false},
        {derivedPatterns[1], R"(<a href="$1" target=_blank>$2</a>)", templates[1].name,
         derivedClosings[1], false, derivedLoopsInGroups[1]},
        {R"(\[FLASH\](.[^\[]*)\[\/FLASH\])",
         R"(<EMBED src=$1 quality=high wmode=transparent TYPE="application/x-shockwave-flash"></EMBED>)",
         nullptr, "[/FLASH]", false},
        {derivedPatterns[2],
         R"(<EMBED src=$3 width=$1 height=$2 quality=high wmode=transparent TYPE="application/x-shockwave-flash"></EMBED>)",
         templates[2].name, derivedClosings[2], false, derivedLoopsInGroups[2]},
        {R"(\[FLASH=*([0-9]*),*([0-9]*),*([0-9]*)\](.[^\[]*)\[\/FLASH])",
         R"(<EMBED src=$4 width=$1 height=$2 quality=high wmode=transparent TYPE="application/x-shockwave-flash"></EMBED>)",
         nullptr, "[/FLASH]", false},
        {"\r\n", "<br>", nullptr, {}, true},
    };

    QByteArray text = ubb.toUtf8();
    int number = 0;
    for (const auto& rule : rules) {
        ++number;
        try {
            if (rule.literal) {
                text = replaceLiteral(text, rule.pattern, rule.replacement);
                continue;
            }
            qsizetype searchEnd = text.size();
            if (!rule.closing.isEmpty()) {
                searchEnd = matchesEndBy(text, rule.closing);
                // The pattern must still compile, whether or not it can match.
                if (searchEnd < 0)
                    searchEnd = 0;
            }
            text = replaceAll(rule.pattern, text, rule.replacement, deadline, PCRE2_SIZE(searchEnd),
                              rule.loopsInGroups);
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
