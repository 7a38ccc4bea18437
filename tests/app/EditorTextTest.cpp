// Line breaks between the editor's fields and a stored post.
#include "app/EditorText.h"

#include <gtest/gtest.h>

TEST(EditorText, EveryKindOfBreakBecomesOne) {
    const struct {
        const char16_t* text;
        const char16_t* lineBreak;
        const char16_t* expected;
    } cases[] = {
        {u"a\r\nb\rc\nd", u"\r\n", u"a\r\nb\r\nc\r\nd"},
        {u"a\r\nb\rc\nd", u" ", u"a b c d"},
        {u"\n\r\r\n", u"\n", u"\n\n\n"},
        {u"a\n\rb", u"|", u"a||b"},
        {u"no break", u"\r\n", u"no break"},
        {u"中文\r\n", u"\n", u"中文\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EditorText::withBreaks(QString::fromUtf16(c.text), QStringView(c.lineBreak)),
                  QString::fromUtf16(c.expected))
            << QString::fromUtf16(c.text).toStdString();
}
