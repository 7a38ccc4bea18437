#pragma once
// Custom export: a text rule expanded once per post. "$title" becomes the
// post's title, then "$content" (wherever it now stands, also inside an
// inserted title) becomes its content; each expansion ends with CR LF. Lines
// without a separator give nothing.
//
// In plain mode the content's line breaks come out as CR LF and the title is
// inserted as it is. In SQL mode both fields are made safe inside a quoted
// string: every single quote is doubled, every backslash is doubled (only a
// backslash of its own, never the second byte of a GBK character), and the
// content's line breaks become the escape \r\n.
#include "store/ProgressIndicator.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>

class RuleExpander {
  public:
    RuleExpander(const QByteArray& rule, bool sql);

    // Appends the expansion of one post line and CR LF; returns false and
    // appends nothing for a line without a separator.
    bool appendPost(QByteArray& out, QByteArrayView line);

  private:
    QByteArray m_rule;
    bool m_sql;
    // The rule cut at every "$title".
    QList<QByteArrayView> m_pieces;
    // Reused between posts, so a post costs no allocation.
    QByteArray m_title;
    QByteArray m_stage;
};

// Appends text with quotes and backslashes doubled; with breaks, every
// "$1310$" becomes the escape \r\n.
void AppendSqlEscaped(QByteArray& out, QByteArrayView text, bool breaks);

// Expands the rule for every line into out; the progress goes from 0 to the
// number of lines, one step per post written. Returns the posts written.
int ExpandRule(const QList<QByteArray>& lines, const QByteArray& rule, bool sql, QByteArray& out,
               ProgressIndicator* progress = nullptr);

// ExpandRule on all cores, handed to write piece after piece in order (on
// the calling thread, as is the progress); the pieces, one after another,
// equal ExpandRule's output. Stops when write returns false. Returns the
// posts handed over.
int ExpandRuleStreamed(const QList<QByteArray>& lines, const QByteArray& rule, bool sql,
                       const std::function<bool(QByteArrayView)>& write,
                       ProgressIndicator* progress = nullptr);

// The expansion replaces the file at path atomically; when no post would be
// written no file is created or touched. Throws VellumError when the file
// cannot be written. Returns the posts written.
int ExportRuleToFile(const QList<QByteArray>& lines, const QString& path, const QByteArray& rule,
                     bool sql, ProgressIndicator* progress = nullptr);
