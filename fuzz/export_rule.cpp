// The custom export: a rule the user typed, kept in config.ini, expanded over
// posts from any category file. In SQL mode every field stays inside its
// quoted string, however its bytes are made: read back as the database would
// read it (GB18030 characters whole), each string gives the field again.
#include "FuzzSupport.h"
#include "net/ExportRule.h"
#include "platform/AnsiCodePage.h"
#include "store/CategoryFile.h"
#include "store/PostLine.h"
#include "store/RuleExport.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QFile>

namespace {
// Reads one SQL string literal starting at s[pos] == '\''; pos ends after it.
// False when the literal does not close.
bool ReadSqlString(const QByteArray& s, qsizetype& pos, QByteArray& value) {
    if (pos >= s.size() || s[pos] != '\'')
        return false;
    ++pos;
    value.clear();
    while (pos < s.size()) {
        const char c = s[pos];
        if (c == '\'') {
            if (pos + 1 < s.size() && s[pos + 1] == '\'') {
                value += '\'';
                pos += 2;
                continue;
            }
            ++pos;
            return true;
        }
        if (c == '\\') {
            if (pos + 1 >= s.size())
                return false;
            const char e = s[pos + 1];
            value += e == 'r' ? '\r' : e == 'n' ? '\n' : e;
            pos += 2;
            continue;
        }
        const qsizetype n = AnsiCodePage::characterLength(s, pos);
        value += s.mid(pos, n);
        pos += n;
    }
    return false;
}
// The content as the database gets it: breaks as CR LF, and a lead byte
// left without its second byte right before a break as "?".
QByteArray SqlContent(const QByteArray& raw) {
    QByteArray out;
    for (qsizetype pos = 0; pos < raw.size();) {
        if (raw.mid(pos).startsWith(kLineBreakToken)) {
            out += "\r\n";
            pos += 6;
            continue;
        }
        const qsizetype n = AnsiCodePage::characterLength(raw, pos);
        const auto b = static_cast<unsigned char>(raw[pos]);
        const bool lone = n == 1 && b >= 0x81 && b <= 0xFE;
        out += lone && raw.mid(pos + 1).startsWith(kLineBreakToken) ? QByteArray("?")
                                                                    : raw.mid(pos, n);
        pos += n;
    }
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const bool sql = in.ConsumeBool();
    const QByteArray rule = QByteArray::fromStdString(in.ConsumeRandomLengthString(64));
    const QList<QByteArray> lines =
        CategoryFile::splitLines(QByteArray::fromStdString(in.ConsumeRemainingBytesAsString()));

    // The rule through config.ini and back.
    if (!rule.contains("%ODOA")) {
        QByteArray expected = rule;
        expected.replace("\r\n", "\n").replace('\r', '\n').replace("\n", "\r\n");
        FUZZ_CHECK(ExportRule::decode(ExportRule::encode(rule)) == expected, rule);
        if (!rule.contains('\0')) {
            const QString ini = Fuzz::ScratchDir() + QStringLiteral("config.ini");
            QFile::remove(ini);
            ExportRule::save(ini, {rule, !sql});
            const ExportRule::Values back = ExportRule::load(ini);
            FUZZ_CHECK(back.rule == expected && back.plainText == !sql, rule, back.rule);
        }
    }

    // The user's rule: one expansion per post line.
    qsizetype posts = 0;
    for (const QByteArray& line : lines)
        posts += line.contains(kPostSeparator) ? 1 : 0;
    QByteArray out;
    FUZZ_CHECK(ExpandRule(lines, rule, sql, out) == posts);

    for (const QByteArray& line : lines) {
        if (!line.contains(kPostSeparator))
            continue;
        const QByteArray title = DecodePostPart(line, 1);
        const QByteArray content = DecodePostPart(line, 2);
        // A title that holds "$content" takes the content in, as the rule says.
        if (title.contains("$content"))
            continue;
        QByteArray one;
        if (!sql) {
            RuleExpander plain("<$title|$content>", false);
            FUZZ_CHECK(plain.appendPost(one, line));
            FUZZ_CHECK(one == "<" + title + "|" + content + ">\r\n", line, one);
            continue;
        }
        RuleExpander quoted("('$title','$content');", true);
        FUZZ_CHECK(quoted.appendPost(one, line));
        qsizetype pos = 1;
        QByteArray gotTitle, gotContent;
        FUZZ_CHECK(one.startsWith('('), one);
        FUZZ_CHECK(ReadSqlString(one, pos, gotTitle), line, one);
        FUZZ_CHECK(pos < one.size() && one[pos] == ',', line, one);
        ++pos;
        FUZZ_CHECK(ReadSqlString(one, pos, gotContent), line, one);
        FUZZ_CHECK(one.mid(pos) == ");\r\n", line, one);
        FUZZ_CHECK(gotTitle == title, title, gotTitle);
        FUZZ_CHECK(gotContent == SqlContent(line.mid(line.indexOf(kPostSeparator) + 9)), content,
                   gotContent);
    }
    return 0;
}
