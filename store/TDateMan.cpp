#include "store/TDateMan.h"

#include "platform/AnsiCodePage.h"
#include "platform/StagedWrites.h"
#include "platform/VellumError.h"
#include "store/CategoryFile.h"
#include "store/PostLine.h"

#include <QDir>
#include <QFileInfo>

#include <future>
#include <optional>
#include <vector>

namespace {
// True when byte offset pos starts a character of the GB18030 text.
bool isCharBoundary(QByteArrayView text, qsizetype pos) {
    qsizetype i = 0;
    while (i < pos)
        i += AnsiCodePage::characterLength(text, i);
    return i == pos;
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

void TDateMan::RemoveStaleTemporaryFiles() {
    QDir dir(m_dataDir);
    for (const QString& name : dir.entryList({QStringLiteral("Date?.dat.*.tmp")}, QDir::Files))
        dir.remove(name);
}

int TDateMan::LoadCategory(int k) {
    const QString path = categoryPath(k);
    if (!QFileInfo::exists(path))
        return 0;
    m_lists[k] = CategoryFile::splitLines(CategoryFile::readAll(path));
    return RecordCount(k);
}

QMap<int, QString> TDateMan::LoadCategories(const QList<int>& categories) {
    // Reading and splitting a large library is memory work; the cores share it.
    std::vector<std::pair<int, std::future<std::optional<QList<QByteArray>>>>> jobs;
    for (int k : categories)
        jobs.emplace_back(
            k, std::async(std::launch::async,
                          [path = categoryPath(k)]() -> std::optional<QList<QByteArray>> {
                              if (!QFileInfo::exists(path))
                                  return std::nullopt;
                              return CategoryFile::splitLines(CategoryFile::readAll(path));
                          }));
    QMap<int, QString> errors;
    for (auto& [k, job] : jobs) {
        try {
            if (std::optional<QList<QByteArray>> lines = job.get())
                m_lists[k] = std::move(*lines);
        } catch (const VellumError& e) {
            errors.insert(k, e.message());
        }
    }
    return errors;
}

int TDateMan::AppendFromFile(int k, const QString& path) {
    if (!QFileInfo::exists(path))
        return 0;
    m_lists[k].append(CategoryFile::splitLines(CategoryFile::readAll(path)));
    return RecordCount(k);
}

bool TDateMan::SaveCategory(int k) {
    CategoryFile::writeLines(categoryPath(k), m_lists[k]);
    return true;
}

QStringList TDateMan::SaveCategories(const QList<int>& categories) {
    QList<QPair<QString, const QList<QByteArray>*>> files;
    for (int k : categories)
        files.append({categoryPath(k), &m_lists[k]});
    StagedWrites writes;
    QStringList errors = writes.stageAll(files, "\r\n");
    errors << writes.commit();
    return errors;
}

bool TDateMan::SaveCategoryAs(int k, const QString& path) {
    CategoryFile::writeLines(path, m_lists[k]);
    return true;
}

void TDateMan::GetRecord(int i, int k, QByteArray& line) const {
    if (i >= 0 && i < RecordCount(k))
        line = m_lists[k][i];
}

int TDateMan::AddRecord(const QByteArray& line, int k) {
    if (line.isEmpty())
        return -1;
    m_lists[k].append(line);
    return RecordCount(k) - 1;
}

void TDateMan::ReplaceRecord(const QByteArray& line, int i, int k) {
    if (line.isEmpty() || i < 0 || i >= RecordCount(k))
        return;
    m_lists[k][i] = line;
}

void TDateMan::DeleteRecord(int i, int k) {
    if (i >= 0 && i < RecordCount(k))
        m_lists[k].removeAt(i);
}

void TDateMan::InsertRecord(const QByteArray& line, int i, int k) {
    m_lists[k].insert(qBound(0, i, RecordCount(k)), line);
}

void TDateMan::ClearCategory(int k) {
    m_lists[k].clear();
}

int TDateMan::FindTitle(int start, const QByteArray& text, int k) const {
    if (text.isEmpty() || start < 0)
        return -1;
    const int count = RecordCount(k);
    for (int i = start; i < count; ++i) {
        const QByteArrayView title = TitleSearchPart(m_lists[k][i]);
        // A match must start on a character, so a Chinese character never
        // matches the second half of one and the first half of the next.
        for (qsizetype from = 0;;) {
            const qsizetype pos = title.indexOf(text, from);
            if (pos < 0)
                break;
            if (isCharBoundary(title, pos))
                return i;
            from = pos + 1;
        }
    }
    return -1;
}

int TDateMan::ExportWithRule(int k, const QString& path, const QByteArray& rule, bool sql,
                             ProgressIndicator* progress) {
    const QList<QByteArray>& list = m_lists[k];
    if (progress) {
        progress->setMinimum(0);
        progress->setMaximum(int(list.size()));
    }
    QByteArray output;
    int position = 0;
    for (const QByteArray& line : list) {
        const qsizetype sep = line.indexOf(kPostSeparator);
        if (sep < 0)
            continue;
        const QByteArray title = line.left(sep);
        QByteArray content = line.mid(sep + qsizetype(sizeof(kPostSeparator) - 1));
        if (sql) {
            content.replace(kLineBreakToken, "\\r\\n");
            content.replace("'", "''");
        } else {
            content.replace(kLineBreakToken, "\r\n");
        }
        QByteArray expanded = rule;
        expanded.replace("$title", title);
        expanded.replace("$content", content);
        output.append(expanded);
        output.append("\r\n");
        if (progress)
            progress->setPosition(++position);
    }
    if (!output.isEmpty())
        CategoryFile::writeBytes(path, output);
    return RecordCount(k);
}
