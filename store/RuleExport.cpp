#include "store/RuleExport.h"

#include "platform/AnsiCodePage.h"
#include "store/CategoryFile.h"
#include "store/PostLine.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <future>
#include <thread>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {
constexpr QByteArrayView kTitle = "$title";
constexpr QByteArrayView kContent = "$content";
const QByteArrayView kToken(kLineBreakToken);
constexpr qsizetype kSeparatorLength = sizeof(kPostSeparator) - 1;

// The first '$', '\'' or '\\' at or after p, or end.
const char* findSqlSpecial(const char* p, const char* end) {
#ifdef __SSE2__
    const __m128i dollar = _mm_set1_epi8('$');
    const __m128i quote = _mm_set1_epi8('\'');
    const __m128i backslash = _mm_set1_epi8('\\');
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hit =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, dollar), _mm_cmpeq_epi8(v, quote)),
                         _mm_cmpeq_epi8(v, backslash));
        if (const int mask = _mm_movemask_epi8(hit))
            return p + __builtin_ctz(unsigned(mask));
        p += 16;
    }
#endif
    while (p < end && *p != '$' && *p != '\'' && *p != '\\')
        ++p;
    return p;
}

// Content with every "$1310$" as CR LF.
void appendPlainContent(QByteArray& out, QByteArrayView text) {
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        const auto* hit = static_cast<const char*>(std::memchr(p, '$', size_t(end - p)));
        if (!hit) {
            out.append(p, end - p);
            break;
        }
        out.append(p, hit - p);
        if (QByteArrayView(hit, end - hit).startsWith(kToken)) {
            out.append("\r\n", 2);
            p = hit + kToken.size();
        } else {
            out.append('$');
            p = hit + 1;
        }
    }
}

} // namespace

void AppendSqlEscaped(QByteArray& out, QByteArrayView text, bool breaks) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* p = begin;
    // A known character start at or before p: '$' and '\'' never occur
    // inside a GB18030 character, 0x5C may be a character's second byte.
    const char* boundary = begin;
    while (p < end) {
        const char* hit = findSqlSpecial(p, end);
        out.append(p, hit - p);
        if (hit == end)
            break;
        p = hit + 1;
        if (*hit == '\\') {
            while (boundary < hit)
                boundary += AnsiCodePage::characterLength(text, boundary - begin);
            if (boundary == hit) {
                out.append("\\\\", 2);
                boundary = p;
            } else {
                out.append('\\');
            }
        } else if (*hit == '\'') {
            out.append("''", 2);
            boundary = p;
        } else if (breaks && QByteArrayView(hit, end - hit).startsWith(kToken)) {
            out.append("\\r\\n", 4);
            p = hit + kToken.size();
            boundary = p;
        } else {
            out.append('$');
            boundary = p;
        }
    }
}

RuleExpander::RuleExpander(const QByteArray& rule, bool sql) : m_rule(rule), m_sql(sql) {
    const QByteArrayView view(m_rule);
    qsizetype from = 0;
    for (qsizetype at; (at = view.indexOf(kTitle, from)) >= 0; from = at + kTitle.size())
        m_pieces.append(view.sliced(from, at - from));
    m_pieces.append(view.sliced(from));
}

bool RuleExpander::appendPost(QByteArray& out, QByteArrayView line) {
    const qsizetype sep = line.indexOf(QByteArrayView(kPostSeparator));
    if (sep < 0)
        return false;
    const QByteArrayView rawTitle = line.first(sep);
    const QByteArrayView rawContent = line.sliced(sep + kSeparatorLength);

    QByteArrayView title = rawTitle;
    if (m_sql && m_pieces.size() > 1) {
        m_title.resize(0);
        AppendSqlEscaped(m_title, rawTitle, false);
        title = m_title;
    }
    // First every "$title", then every "$content" of that result.
    QByteArrayView staged = m_rule;
    if (m_pieces.size() > 1) {
        m_stage.resize(0);
        for (qsizetype i = 0; i < m_pieces.size(); ++i) {
            if (i > 0)
                m_stage.append(title);
            m_stage.append(m_pieces[i]);
        }
        staged = m_stage;
    }
    // The content is converted straight into the output once; a rule that
    // holds it again copies it from there.
    qsizetype contentAt = -1;
    qsizetype contentSize = 0;
    qsizetype from = 0;
    for (qsizetype at; (at = staged.indexOf(kContent, from)) >= 0; from = at + kContent.size()) {
        out.append(staged.sliced(from, at - from));
        if (contentAt < 0) {
            contentAt = out.size();
            if (m_sql)
                AppendSqlEscaped(out, rawContent, true);
            else
                appendPlainContent(out, rawContent);
            contentSize = out.size() - contentAt;
        } else {
            out.reserve(out.size() + contentSize);
            out.append(QByteArrayView(out.constData() + contentAt, contentSize));
        }
    }
    out.append(staged.sliced(from));
    out.append("\r\n", 2);
    return true;
}

int ExpandRule(const QList<QByteArray>& lines, const QByteArray& rule, bool sql, QByteArray& out,
               ProgressIndicator* progress) {
    if (progress) {
        progress->setMinimum(0);
        progress->setMaximum(int(lines.size()));
    }
    // Most rules are shorter than the post they expand.
    qsizetype estimate = 0;
    for (const QByteArray& line : lines)
        estimate += line.size() + rule.size() + 2;
    out.reserve(out.size() + estimate);
    CategoryFile::adviseHugePages(out.data(), out.capacity());
    RuleExpander expander(rule, sql);
    int written = 0;
    for (const QByteArray& line : lines) {
        if (!expander.appendPost(out, line))
            continue;
        ++written;
        if (progress)
            progress->setPosition(written);
    }
    return written;
}

int ExpandRuleInRuns(const QList<QByteArray>& lines, const QByteArray& rule, bool sql,
                     QList<QByteArray>& pieces, ProgressIndicator* progress) {
    if (progress) {
        progress->setMinimum(0);
        progress->setMaximum(int(lines.size()));
    }
    // The posts are cut into runs of a few megabytes that the cores expand
    // in turn; the expansions go to the file in order, without being joined.
    constexpr qsizetype kRunBytes = 4 << 20;
    std::vector<qsizetype> bounds{0};
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        bytes += lines[i].size() + rule.size();
        if (bytes >= kRunBytes) {
            bounds.push_back(i + 1);
            bytes = 0;
        }
    }
    if (bounds.back() != lines.size())
        bounds.push_back(lines.size());
    const size_t runs = bounds.size() - 1;
    std::vector<QByteArray> outputs(runs);
    std::vector<int> counts(runs, 0);
    std::atomic<size_t> nextRun{0};
    std::atomic<int> postsDone{0};
    const auto expand = [&](bool reports) {
        RuleExpander expander(rule, sql);
        for (size_t r; (r = nextRun.fetch_add(1)) < runs;) {
            QByteArray& out = outputs[r];
            qsizetype estimate = 0;
            for (qsizetype i = bounds[r]; i < bounds[r + 1]; ++i)
                estimate += lines[i].size() + rule.size() + 2;
            out.reserve(estimate);
            int written = 0;
            for (qsizetype i = bounds[r]; i < bounds[r + 1]; ++i)
                written += expander.appendPost(out, lines[i]) ? 1 : 0;
            counts[r] = written;
            postsDone.fetch_add(written);
            // Only the calling thread may move the progress.
            if (reports && progress)
                progress->setPosition(postsDone.load());
        }
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const int helpers = runs > 1 ? int(std::min(3u, cores - 1)) : 0;
    std::vector<std::future<void>> jobs;
    for (int h = 0; h < helpers; ++h)
        jobs.push_back(std::async(std::launch::async, expand, false));
    expand(true);
    for (auto& job : jobs)
        job.get();
    int written = 0;
    pieces.reserve(pieces.size() + qsizetype(runs));
    for (size_t r = 0; r < runs; ++r) {
        written += counts[r];
        if (!outputs[r].isEmpty())
            pieces.append(std::move(outputs[r]));
    }
    if (progress)
        progress->setPosition(written);
    return written;
}

int ExportRuleToFile(const QList<QByteArray>& lines, const QString& path, const QByteArray& rule,
                     bool sql, ProgressIndicator* progress) {
    QList<QByteArray> pieces;
    const int written = ExpandRuleInRuns(lines, rule, sql, pieces, progress);
    if (written > 0)
        CategoryFile::writePieces(path, pieces);
    return written;
}
