#include "app/EditorState.h"

QString EditorState::modeName() const {
    switch (m_mode) {
    case Mode::Add:
        return QStringLiteral("ADD");
    case Mode::Edit:
        return QStringLiteral("EDIT");
    case Mode::Empty:
        break;
    }
    return QString();
}

void EditorState::setModeName(const QString& name) {
    if (name == QLatin1String("EDIT")) {
        m_mode = Mode::Edit;
    } else if (name == QLatin1String("ADD")) {
        // A new post: whatever the editor holds is not stored yet.
        m_mode = Mode::Add;
        if (m_tie) {
            m_tie.reset();
            m_baseTitle.clear();
            m_baseContent.clear();
        }
    } else {
        m_mode = Mode::Empty;
    }
}

QString EditorState::statusLabel() const {
    if (m_tie)
        return QStringLiteral("编辑");
    if (m_mode == Mode::Add)
        return QStringLiteral("新建");
    return QString();
}

bool EditorState::unsaved(const QString& title, const QString& content) const {
    return title != m_baseTitle || content != m_baseContent;
}

bool EditorState::mustAsk(Action action, const QString& title, const QString& content) const {
    // Save stores the text; the next-post message comes from the browser and
    // must never wait for an answer; a captured title keeps typed content.
    if (action == Action::Save || action == Action::NextPost || action == Action::TitleCaptured)
        return false;
    return unsaved(title, content);
}

EditorState::SavePlan EditorState::planSave(const QString& title, const QString& content,
                                            std::optional<int> rowNow) const {
    if (title.isEmpty())
        return {SavePlan::Kind::RefuseEmptyTitle};
    if (content.isEmpty())
        return {SavePlan::Kind::RefuseEmptyContent};
    if (m_tie && rowNow)
        return {SavePlan::Kind::Replace, m_tie->category, *rowNow};
    return {SavePlan::Kind::Add};
}

void EditorState::showStored(int category, int row, const QByteArray& line, const QString& title,
                             const QString& content) {
    m_mode = Mode::Edit;
    m_tie = Tie{category, row, line};
    m_baseTitle = title;
    m_baseContent = content;
}

void EditorState::startNew() {
    m_mode = Mode::Add;
    m_tie.reset();
    m_baseTitle.clear();
    m_baseContent.clear();
}

void EditorState::startCapturedPost() {
    startNew();
}

void EditorState::clear() {
    m_mode = Mode::Empty;
    m_tie.reset();
    m_baseTitle.clear();
    m_baseContent.clear();
}

std::optional<int> EditorState::rowAmong(const QList<QByteArray>& records) const {
    if (!m_tie)
        return std::nullopt;
    if (m_tie->row >= 0 && m_tie->row < records.size() && records[m_tie->row] == m_tie->line)
        return m_tie->row;
    const qsizetype at = records.indexOf(m_tie->line);
    return at < 0 ? std::nullopt : std::optional<int>(int(at));
}
