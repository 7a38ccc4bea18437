#pragma once
// Turns a post's UBB markup into HTML for the preview by an ordered list of
// regular-expression rules. Three rules are derived from the user's tag
// templates, so tags made with custom templates preview as well.
//
// The rules match characters, never code-page bytes: a GB18030 trail byte can
// look like "[" or "]", so the text runs through the engine as UTF-8 in UTF
// mode. A conversion stops once it has run past its time budget, however the
// patterns backtrack, so a hostile post cannot freeze the window.
#include "platform/VellumError.h"
#include "settings/SettingsMirror.h"

#include <QByteArray>
#include <QString>

#include <chrono>

namespace UbbPreview {
using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kTimeBudget{2000};

// A pattern the engine cannot compile (an invalid or empty template), or a
// match the engine gave up on.
class RuleError : public VellumError {
  public:
    explicit RuleError(const QString& message, bool invalidPattern = true)
        : VellumError(message), m_invalidPattern(invalidPattern) {}
    bool invalidPattern() const { return m_invalidPattern; }

  private:
    bool m_invalidPattern;
};
// The time budget ran out; the text converted so far is thrown away.
class RuleTimeout : public VellumError {
  public:
    using VellumError::VellumError;
};

// The derived patterns: "[", "]" and "/" escaped, the placeholders turned into
// groups, in the order the placeholders stand in the template.
QString LinkPattern(const QString& urlTemplate);
QString ImagePattern(const QString& imgTemplate);
QString FlashPattern(const QString& flashTemplate);

// One rule over UTF-8 text: every non-overlapping match, left to right, is
// replaced; "$n" (one digit) in the replacement stands for group n, empty when
// the group took no part or the pattern has no such group. Matching ignores
// case and "." takes line breaks too. Throws RuleError when the pattern does
// not compile and RuleTimeout once deadline has passed.
QByteArray RegexReplaceAll(const QByteArray& pattern, const QByteArray& text,
                           const QByteArray& replacement,
                           Clock::time_point deadline = Clock::time_point::max());
} // namespace UbbPreview

// The content converted by rules 1 to 12 with the derived patterns of the
// current templates. Throws UbbPreview::RuleError (naming the rule and the
// template) or UbbPreview::RuleTimeout (naming the rule that ran out of time).
QString UbbToHtml(const QString& ubb, const TSettingsMirror& settings,
                  std::chrono::milliseconds budget = UbbPreview::kTimeBudget);
