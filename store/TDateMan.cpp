#include "store/TDateMan.h"

#include "platform/AnsiCodePage.h"
#include "platform/StagedWrites.h"
#include "platform/SystemErrorText.h"
#include "platform/VellumError.h"
#include "store/CategoryFile.h"
#include "store/PostLine.h"
#include "store/PostMerge.h"
#include "store/RuleExport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <future>
#include <new>
#include <string.h>
#include <vector>

namespace {
// True when byte offset pos starts a character of the GB18030 text.
bool isCharBoundary(QByteArrayView text, qsizetype pos) {
    qsizetype i = 0;
    while (i < pos)
        i += AnsiCodePage::characterLength(text, i);
    return i == pos;
}

// A file refused by its size never gets here; splitting one that fitted can
// still run out of memory, which refuses the category instead of the start.
CategoryFile::Loaded loadCategoryFile(const QString& path) {
    try {
        return CategoryFile::load(path);
    } catch (const std::bad_alloc&) {
        CategoryFile::Loaded loaded;
        loaded.exists = true;
        loaded.problem = QStringLiteral("太大，内存不足，没有读入");
        return loaded;
    }
}
} // namespace

TDateMan::TDateMan(const QString& dataDir) : m_dataDir(dataDir) {
    for (int k = 0; k < kCategoryCount; ++k)
        m_fileNames[k] = QStringLiteral("Date%1.dat").arg(k + 1);
}

QString TDateMan::categoryPath(int k) const {
    QString dir = m_dataDir;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir + m_fileNames[k];
}

QString TDateMan::categoryName(int k) const {
    return m_names[k].isEmpty() ? m_fileNames[k] : m_names[k];
}

void TDateMan::RemoveStaleTemporaryFiles() {
    // A linked category is saved beside the file its chain of links ends in.
    for (int k = 0; k < kCategoryCount; ++k)
        StagedWrites::removeLeftOvers(categoryPath(k));
}

QString TDateMan::CheckDataFolder() const {
    const QByteArray probe = QFile::encodeName(QDir(m_dataDir).filePath(
        QStringLiteral(".vellum-probe-%1.tmp").arg(QCoreApplication::applicationPid())));
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        ::unlink(probe.constData());
        return {};
    }
    return QStringLiteral("分类文件夹“%1”无法写入（%2）。本次运行中的修改在关闭时将无法保存，"
                          "请检查这个文件夹。")
        .arg(QDir::toNativeSeparators(m_dataDir), SystemErrorText::of(errno));
}

void TDateMan::lock(int k, const QString& problem) {
    m_lockReason[k] = QStringLiteral("分类“%1”的文件“%2”%3。这个分类在本次运行中不能修改，"
                                     "它的文件不会被写入。")
                          .arg(categoryName(k), categoryPath(k), problem);
}

void TDateMan::ensureChangeable(int k) {
    ensureLoaded(k);
    if (isLocked(k))
        throw VellumError(QStringLiteral("分类“%1”在启动时未能完整读取，本次运行中不能修改。\n\n%2")
                              .arg(categoryName(k), m_lockReason[k]));
}

void TDateMan::changed(int k, bool indexKept) {
    ++m_version[k];
    if (!indexKept)
        m_titleIndex[k].valid = false;
    if (m_onChange)
        m_onChange(k);
}

QList<int> TDateMan::dirtyCategories() const {
    QList<int> out;
    for (int k = 0; k < kCategoryCount; ++k)
        if (isDirty(k))
            out << k;
    return out;
}

int TDateMan::LoadCategory(int k) {
    const QMap<int, QString> errors = LoadCategories({k});
    if (!errors.isEmpty())
        throw VellumError(errors.first());
    return RecordCount(k);
}

QMap<int, QString> TDateMan::LoadCategories(const QList<int>& categories) {
    // Reading and splitting a large library is memory work; the cores share it.
    std::vector<std::pair<int, std::future<CategoryFile::Loaded>>> jobs;
    for (int k : categories)
        jobs.emplace_back(k, std::async(std::launch::async, [path = categoryPath(k)] {
                              return loadCategoryFile(path);
                          }));
    QMap<int, QString> errors;
    for (auto& [k, job] : jobs) {
        // A read started earlier is superseded by this one.
        if (m_pending[k].valid())
            m_pending[k].wait();
        m_pending[k] = {};
        m_deferred[k] = false;
        const QString problem = install(k, job.get());
        if (!problem.isEmpty())
            errors.insert(k, problem);
    }
    return errors;
}

QString TDateMan::install(int k, CategoryFile::Loaded loaded) {
    // What was read is the base of a later merge with another writer.
    m_disk[k] = loaded.identity;
    m_unmergeable[k].clear();
    if (!loaded.exists) {
        m_base[k].clear();
        return {};
    }
    // Only a NUL leaves something readable; anything else keeps the list.
    if (loaded.problem.isEmpty() || !loaded.lines.isEmpty())
        m_lists[k] = std::move(loaded.lines);
    m_base[k] = m_lists[k];
    m_titleIndex[k].valid = false;
    m_savedVersion[k] = m_version[k];
    m_lockReason[k].clear();
    if (loaded.problem.isEmpty())
        return {};
    lock(k, loaded.problem);
    return m_lockReason[k];
}

bool TDateMan::hasFile(int k) const {
    const QFileInfo file(categoryPath(k));
    return file.exists() || file.isSymLink();
}

void TDateMan::deferLoading(const QList<int>& categories) {
    for (int k : categories)
        if (isLoaded(k) && hasFile(k))
            m_deferred[k] = true;
}

void TDateMan::startLoading(const QList<int>& categories, std::function<void(int)> ready) {
    for (int k : categories) {
        // Read once: a category being read, read already or changed stays.
        const bool untouched = m_version[k] == 0 && m_lists[k].isEmpty() && !isLocked(k);
        if (m_pending[k].valid() || !(m_deferred[k] || untouched))
            continue;
        m_deferred[k] = false;
        const QString path = categoryPath(k);
        // Nothing to wait for: the category is empty, and a close creates
        // its file.
        if (!hasFile(k))
            continue;
        m_pending[k] = std::async(std::launch::async, [path, k, ready] {
            CategoryFile::Loaded loaded = loadCategoryFile(path);
            if (ready)
                ready(k);
            return loaded;
        });
    }
}

QString TDateMan::ensureLoaded(int k) {
    if (isLoaded(k))
        return {};
    m_deferred[k] = false;
    CategoryFile::Loaded loaded =
        m_pending[k].valid() ? m_pending[k].get() : loadCategoryFile(categoryPath(k));
    m_pending[k] = {};
    return install(k, std::move(loaded));
}

int TDateMan::AppendFromFile(int k, const QString& path, ProgressIndicator* progress,
                             qsizetype* removedNuls) {
    ensureChangeable(k);
    if (removedNuls)
        *removedNuls = 0;
    if (!QFileInfo::exists(path))
        return 0;
    QByteArray data = CategoryFile::readDataFile(path, progress);
    // A NUL would end the text there and drop every later post. Looked for
    // with memchr first: counting byte by byte costs more than the reading.
    if (std::memchr(data.constData(), 0, size_t(data.size()))) {
        const qsizetype nuls = data.count('\0');
        data.replace(QByteArray(1, '\0'), QByteArray());
        if (removedNuls)
            *removedNuls = nuls;
    }
    const QList<QByteArray> lines = CategoryFile::splitLines(data);
    if (!lines.isEmpty()) {
        m_lists[k].append(lines);
        changed(k);
    }
    return RecordCount(k);
}

bool TDateMan::SaveCategory(int k) {
    const QStringList errors = SaveCategories({k});
    if (!errors.isEmpty())
        throw VellumError(errors.first());
    return true;
}

QStringList TDateMan::SaveCategories(const QList<int>& categories) {
    QList<int> all;
    for (int k = 0; k < kCategoryCount; ++k)
        all << k;
    // Another writer that keeps changing a file between the merge and the
    // rename wins a few rounds; after that the categories stay unsaved.
    constexpr int kRounds = 20;
    for (int round = 1;; ++round) {
        QStringList errors = mergeOutsideChanges(all);
        const QList<SaveGroup> groups = snapshot(categories);
        errors << recordSaved(groups, write(groups));
        if (!m_changedDuringSave)
            return errors;
        if (round == kRounds) {
            for (int k : dirtyCategories())
                errors << QStringLiteral("分类“%1”没有保存：它的文件“%2”一直在被别的程序改写。")
                              .arg(categoryName(k), categoryPath(k));
            return errors;
        }
    }
}

QString TDateMan::lockPath() const {
    return QDir(m_dataDir).filePath(QStringLiteral(".vellum.lock"));
}

bool TDateMan::changedOnDisk(int k) const {
    return FileIdentity::ofPath(categoryPath(k)) != m_disk[k];
}

QStringList TDateMan::mergeOutsideChanges(const QList<int>& categories) {
    QStringList problems;
    for (int k : categories) {
        // A category still being read is never written, and the read records
        // the version it saw: once the window takes it in (ensureLoaded, which
        // also reports a file it cannot read), a later change is merged.
        if (!isLoaded(k))
            continue;
        if (isLocked(k))
            continue;
        if (!changedOnDisk(k)) {
            m_unmergeable[k].clear();
            continue;
        }
        CategoryFile::Loaded loaded = CategoryFile::load(categoryPath(k));
        if (!loaded.exists) {
            m_unmergeable[k].clear();
            // Gone: memory holds the posts, and the next save writes them
            // again. The last version seen stays the base of a later merge.
            m_disk[k].reset();
            continue;
        }
        if (!loaded.problem.isEmpty()) {
            m_unmergeable[k] = QStringLiteral("分类“%1”的文件“%2”在别处被改动过，但%3，无法合并；"
                                              "这个分类的修改暂不保存。")
                                   .arg(categoryName(k), categoryPath(k), loaded.problem);
            if (isDirty(k))
                problems << m_unmergeable[k];
            continue;
        }
        m_unmergeable[k].clear();
        if (loaded.lines == m_base[k]) {
            // The same posts written again (a touch, a sync of the same bytes).
            m_disk[k] = loaded.identity;
            continue;
        }
        OutsideChange change;
        change.category = k;
        change.before = m_lists[k];
        change.reloaded = !isDirty(k);
        if (change.reloaded) {
            m_lists[k] = loaded.lines;
        } else {
            PostMerge::Result merged = PostMerge::merge(m_base[k], m_lists[k], loaded.lines);
            m_lists[k] = std::move(merged.lines);
            change.conflicts = merged.conflicts;
        }
        m_base[k] = std::move(loaded.lines);
        m_disk[k] = loaded.identity;
        ++m_version[k];
        if (m_lists[k] == m_base[k])
            m_savedVersion[k] = m_version[k];
        if (m_onOutsideChange && change.before != m_lists[k])
            m_onOutsideChange(change);
        if (isDirty(k) && m_onChange)
            m_onChange(k);
    }
    return problems;
}

int TDateMan::mergeConflictCopy(int k, const QList<QByteArray>& copy) {
    ensureChangeable(k);
    const QList<QByteArray> missing = PostMerge::missingFrom(m_lists[k], copy);
    if (missing.isEmpty())
        return 0;
    m_lists[k].append(missing);
    changed(k);
    return int(missing.size());
}

QList<TDateMan::SaveGroup> TDateMan::snapshot(const QList<int>& categories) const {
    // Categories tied by a change not yet on disk fall into one group; a tied
    // category that was not asked for comes along.
    std::array<int, kCategoryCount> group{};
    for (int k = 0; k < kCategoryCount; ++k)
        group[k] = k;
    const auto find = [&](int k) {
        while (group[k] != k)
            k = group[k];
        return k;
    };
    for (const Tie& t : m_ties)
        if (tieOpen(t))
            group[find(t.a)] = find(t.b);
    std::array<bool, kCategoryCount> wanted{};
    for (int k : categories)
        wanted[find(k)] = true;
    QMap<int, SaveGroup> byRoot;
    for (int k = 0; k < kCategoryCount; ++k) {
        const int root = find(k);
        if (!wanted[root] || isLocked(k) || !isLoaded(k) || !m_unmergeable[k].isEmpty())
            continue;
        // Only what changed is written: to a sync tool a rewrite of the same
        // posts is a new version. A missing file asked for is created.
        if (!isDirty(k) && (!categories.contains(k) || FileIdentity::ofPath(categoryPath(k))))
            continue;
        byRoot[root].append({k, categoryPath(k), m_lists[k], m_version[k], m_disk[k], lockPath()});
    }
    // Within a group, a file that gains a moved post is renamed before the
    // file that loses it: a crash between the two renames then leaves the
    // post in both files rather than in neither.
    QList<SaveGroup> groups;
    for (SaveGroup& group : byRoot) {
        SaveGroup ordered;
        while (!group.isEmpty()) {
            qsizetype pick = 0;
            for (qsizetype i = 0; i < group.size(); ++i) {
                const bool waits = std::any_of(m_ties.begin(), m_ties.end(), [&](const Tie& t) {
                    return tieOpen(t) && t.a == group[i].category &&
                           std::any_of(group.begin(), group.end(),
                                       [&](const Snapshot& s) { return s.category == t.b; });
                });
                if (!waits) {
                    pick = i;
                    break;
                }
            }
            ordered.append(group.takeAt(pick));
        }
        groups.append(ordered);
    }
    return groups;
}

TDateMan::WriteResult TDateMan::write(const QList<SaveGroup>& groups) {
    QList<QList<StagedWrites::File>> files;
    QString lock;
    for (const SaveGroup& group : groups) {
        QList<StagedWrites::File> g;
        for (const Snapshot& s : group) {
            g.append({s.path, &s.lines, true, s.expected});
            lock = s.lockPath;
        }
        files.append(g);
    }
    return StagedWrites::writeGroups(files, "\r\n", lock);
}

QStringList TDateMan::recordSaved(const QList<SaveGroup>& groups, const WriteResult& result) {
    QStringList errors;
    m_changedDuringSave = false;
    for (qsizetype g = 0; g < groups.size(); ++g) {
        const StagedWrites::Outcome outcome = result.value(g);
        const QList<StagedWrites::Failure>& failures = outcome.failures;
        if (failures.isEmpty()) {
            for (qsizetype i = 0; i < groups[g].size(); ++i) {
                const Snapshot& s = groups[g][i];
                m_savedVersion[s.category] = qMax(m_savedVersion[s.category], s.version);
                // Unless a merge ran meanwhile, the file is now what was written.
                if (m_disk[s.category] == s.expected && i < outcome.written.size()) {
                    m_base[s.category] = s.lines;
                    m_disk[s.category] = outcome.written[i];
                }
            }
            continue;
        }
        if (std::any_of(failures.begin(), failures.end(), [](const StagedWrites::Failure& f) {
                return f.error == StagedWrites::kChangedOutside;
            })) {
            // Another writer came between the merge and the rename: nothing
            // of the group was written; it is merged and written again.
            m_changedDuringSave = true;
            continue;
        }
        QStringList failedNames;
        for (const Snapshot& s : groups[g]) {
            const QString real =
                QFileInfo(s.path).isSymLink() ? QFileInfo(s.path).canonicalFilePath() : s.path;
            for (const StagedWrites::Failure& f : failures)
                if (f.path == s.path || f.path == real) {
                    errors << QStringLiteral("分类“%1”没有保存：无法写入“%2”（%3）。")
                                  .arg(categoryName(s.category), f.path,
                                       SystemErrorText::of(f.error));
                    failedNames << categoryName(s.category);
                }
        }
        // The others of the group keep their old files too: a move must be on
        // disk in both categories or in neither.
        for (const Snapshot& s : groups[g])
            if (!failedNames.contains(categoryName(s.category)))
                errors << QStringLiteral("分类“%1”没有保存：它与分类“%2”一同修改过，"
                                         "只能一起保存。")
                              .arg(categoryName(s.category),
                                   failedNames.join(QStringLiteral("、")));
    }
    m_ties.removeIf([this](const Tie& t) { return !tieOpen(t); });
    return errors;
}

bool TDateMan::SaveCategoryAs(int k, const QString& path) {
    ensureLoaded(k);
    CategoryFile::writeLines(path, m_lists[k]);
    return true;
}

void TDateMan::GetRecord(int i, int k, QByteArray& line) const {
    if (i >= 0 && i < RecordCount(k))
        line = m_lists[k][i];
}

int TDateMan::AddRecord(const QByteArray& line, int k) {
    ensureChangeable(k);
    if (line.isEmpty())
        return -1;
    // The title index follows each single change, so the search after an
    // edit costs no more than any other.
    if (TitleIndex* index = builtTitleIndex(k, RecordCount(k)))
        index->insertRow(size_t(RecordCount(k)), TitleSearchPart(line));
    m_lists[k].append(line);
    changed(k, true);
    return RecordCount(k) - 1;
}

void TDateMan::ReplaceRecord(const QByteArray& line, int i, int k) {
    ensureChangeable(k);
    if (line.isEmpty() || i < 0 || i >= RecordCount(k))
        return;
    if (TitleIndex* index = builtTitleIndex(k, RecordCount(k)))
        index->replaceRow(size_t(i), TitleSearchPart(line));
    m_lists[k][i] = line;
    changed(k, true);
}

void TDateMan::DeleteRecord(int i, int k) {
    ensureChangeable(k);
    if (i >= 0 && i < RecordCount(k)) {
        if (TitleIndex* index = builtTitleIndex(k, RecordCount(k)))
            index->removeRow(size_t(i));
        m_lists[k].removeAt(i);
        changed(k, true);
    }
}

void TDateMan::InsertRecord(const QByteArray& line, int i, int k) {
    ensureChangeable(k);
    const int row = qBound(0, i, RecordCount(k));
    if (TitleIndex* index = builtTitleIndex(k, RecordCount(k)))
        index->insertRow(size_t(row), TitleSearchPart(line));
    m_lists[k].insert(row, line);
    changed(k, true);
}

void TDateMan::ClearCategory(int k) {
    ensureChangeable(k);
    m_lists[k].clear();
    changed(k);
}

int TDateMan::MoveRecord(int i, int from, int to) {
    ensureChangeable(from);
    ensureChangeable(to);
    if (i < 0 || i >= RecordCount(from))
        return -1;
    if (from == to)
        return i;
    // An empty record is only removed, as AddRecord never adds one.
    if (m_lists[from][i].isEmpty()) {
        m_lists[from].removeAt(i);
        changed(from);
        return -1;
    }
    if (TitleIndex* index = builtTitleIndex(to, RecordCount(to)))
        index->insertRow(size_t(RecordCount(to)), TitleSearchPart(m_lists[from][i]));
    if (TitleIndex* index = builtTitleIndex(from, RecordCount(from)))
        index->removeRow(size_t(i));
    m_lists[to].append(m_lists[from][i]);
    m_lists[from].removeAt(i);
    // Recorded before the listeners run, so a save they start sees the tie.
    m_ties.append({from, to, m_version[from] + 1, m_version[to] + 1});
    ++m_version[from];
    changed(to, true);
    return RecordCount(to) - 1;
}

const TDateMan::TitleIndex& TDateMan::titleIndex(int k) const {
    TitleIndex& index = m_titleIndex[k];
    if (index.valid)
        return index;
    // One pass over the records: each is touched once, where its title is.
    const QList<QByteArray>& lines = m_lists[k];
    index.titles.clear();
    index.titles.reserve(lines.size() * 48);
    index.starts.clear();
    index.starts.reserve(size_t(lines.size()) + 1);
    for (const QByteArray& line : lines) {
        index.starts.push_back(index.titles.size());
        index.titles.append(TitleSearchPart(line));
    }
    index.starts.push_back(index.titles.size());
    index.valid = true;
    return index;
}

TDateMan::TitleIndex* TDateMan::builtTitleIndex(int k, qsizetype rows) {
    TitleIndex& index = m_titleIndex[k];
    if (index.valid && qsizetype(index.starts.size()) == rows + 1)
        return &index;
    index.valid = false;
    return nullptr;
}

void TDateMan::TitleIndex::replaceRow(size_t row, QByteArrayView title) {
    const qsizetype begin = starts[row];
    const qsizetype length = starts[row + 1] - begin;
    titles.replace(begin, length, title);
    if (const qsizetype delta = title.size() - length)
        for (size_t j = row + 1; j < starts.size(); ++j)
            starts[j] += delta;
}

void TDateMan::TitleIndex::removeRow(size_t row) {
    const qsizetype begin = starts[row];
    const qsizetype length = starts[row + 1] - begin;
    titles.remove(begin, length);
    starts.erase(starts.begin() + qsizetype(row));
    for (size_t j = row; j < starts.size(); ++j)
        starts[j] -= length;
}

void TDateMan::TitleIndex::insertRow(size_t row, QByteArrayView title) {
    const qsizetype at = starts[row];
    titles.insert(at, title);
    starts.insert(starts.begin() + qsizetype(row), at);
    for (size_t j = row + 1; j < starts.size(); ++j)
        starts[j] += title.size();
}

int TDateMan::FindTitle(int start, const QByteArray& text, int k) const {
    if (text.isEmpty() || start < 0 || start >= RecordCount(k))
        return -1;
    const TitleIndex& index = titleIndex(k);
    const char* const all = index.titles.constData();
    const size_t size = size_t(index.titles.size());
    for (size_t from = size_t(index.starts[size_t(start)]);;) {
        const void* hit =
            from < size ? ::memmem(all + from, size - from, text.constData(), size_t(text.size()))
                        : nullptr;
        if (!hit)
            return -1;
        const qsizetype pos = static_cast<const char*>(hit) - all;
        const auto row = std::upper_bound(index.starts.begin(), index.starts.end(), pos) -
                         index.starts.begin() - 1;
        const qsizetype begin = index.starts[size_t(row)];
        // A match must lie inside one title and start on a character, so a
        // Chinese character never matches the second half of one and the
        // first half of the next.
        if (pos + text.size() <= index.starts[size_t(row) + 1] &&
            isCharBoundary(QByteArrayView(all + begin, pos + text.size() - begin), pos - begin))
            return int(row);
        from = size_t(pos) + 1;
    }
}

int TDateMan::ExportWithRule(int k, const QString& path, const QByteArray& rule, bool sql,
                             ProgressIndicator* progress) {
    ensureLoaded(k);
    // A copy: a progress bar that lets events run may see the category change.
    return ExportRuleToFile(Records(k), path, rule, sql, progress);
}
