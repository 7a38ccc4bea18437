#include "store/RuleExport.h"

#include "platform/AnsiCodePage.h"
#include "platform/StagedWrites.h"
#include "platform/VellumError.h"
#include "store/CategoryFile.h"
#include "store/PostLine.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
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

bool isLeadByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x81 && b <= 0xFE;
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
            // A lead byte without its second byte right before the break
            // would take the escape's backslash as that byte, and the
            // database would read "\r" as a plain "r"; it becomes "?", as
            // an undecodable byte does.
            const char* last = nullptr;
            while (boundary < hit) {
                last = boundary;
                boundary += AnsiCodePage::characterLength(text, boundary - begin);
            }
            if (last == hit - 1 && isLeadByte(*last))
                out[out.size() - 1] = '?';
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

int ExpandRuleStreamed(const QList<QByteArray>& lines, const QByteArray& rule, bool sql,
                       const std::function<bool(QByteArrayView)>& write,
                       ProgressIndicator* progress) {
    if (progress) {
        progress->setMinimum(0);
        progress->setMaximum(int(lines.size()));
    }
    // The posts are cut into runs of a few megabytes that helper threads
    // expand in turn, each into a buffer of a small ring that is used again
    // and again; this thread hands the buffers to write in order. Fresh
    // memory costs the system more than the expansion itself.
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

    struct Slot {
        QByteArray out;
        int written = 0;
        bool ready = false;
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const unsigned helpers = std::min({4u, cores, unsigned(std::max<size_t>(runs, 1))});
    std::vector<Slot> ring(2 * helpers);
    std::mutex mutex;
    std::condition_variable changed;
    size_t nextRun = 0; // the next run a helper takes
    size_t handed = 0;  // the runs written so far
    bool stop = false;
    std::exception_ptr failure;

    const auto expand = [&] {
        RuleExpander expander(rule, sql);
        for (;;) {
            size_t r = 0;
            {
                std::unique_lock lock(mutex);
                // A run's slot is free once the run a ring before it is written.
                changed.wait(lock, [&] {
                    return stop || nextRun >= runs || nextRun < handed + ring.size();
                });
                if (stop || nextRun >= runs)
                    return;
                r = nextRun++;
            }
            Slot& slot = ring[r % ring.size()];
            try {
                slot.out.resize(0);
                qsizetype estimate = 0;
                for (qsizetype i = bounds[r]; i < bounds[r + 1]; ++i)
                    estimate += lines[i].size() + rule.size() + 2;
                slot.out.reserve(estimate);
                int written = 0;
                for (qsizetype i = bounds[r]; i < bounds[r + 1]; ++i)
                    written += expander.appendPost(slot.out, lines[i]) ? 1 : 0;
                slot.written = written;
            } catch (...) {
                const std::lock_guard lock(mutex);
                if (!failure)
                    failure = std::current_exception();
                stop = true;
                changed.notify_all();
                return;
            }
            const std::lock_guard lock(mutex);
            slot.ready = true;
            changed.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (unsigned h = 0; h < helpers; ++h)
        threads.emplace_back(expand);

    int written = 0;
    for (size_t w = 0; w < runs; ++w) {
        Slot& slot = ring[w % ring.size()];
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return slot.ready || stop; });
            if (!slot.ready)
                break;
        }
        const bool ok = slot.out.isEmpty() || write(slot.out);
        written += slot.written;
        if (progress)
            progress->setPosition(written);
        const std::lock_guard lock(mutex);
        slot.ready = false;
        handed = w + 1;
        stop = stop || !ok;
        changed.notify_all();
        if (stop)
            break;
    }
    {
        const std::lock_guard lock(mutex);
        stop = true;
        changed.notify_all();
    }
    for (std::thread& thread : threads)
        thread.join();
    if (failure)
        std::rethrow_exception(failure);
    return written;
}

int ExportRuleToFile(const QList<QByteArray>& lines, const QString& path, const QByteArray& rule,
                     bool sql, ProgressIndicator* progress) {
    // Without a single post no file is created or touched.
    const bool anyPost = std::any_of(lines.cbegin(), lines.cend(), [](const QByteArray& line) {
        return line.contains(QByteArrayView(kPostSeparator));
    });
    if (!anyPost) {
        if (progress) {
            progress->setMinimum(0);
            progress->setMaximum(int(lines.size()));
            progress->setPosition(0);
        }
        return 0;
    }
    StagedWrites writes;
    int written = 0;
    writes.stageStream(path, [&](const StagedWrites::Writer& write) {
        written = ExpandRuleStreamed(lines, rule, sql, write, progress);
    });
    const QStringList errors = writes.commit();
    if (!errors.isEmpty())
        throw VellumError(errors.first());
    return written;
}
