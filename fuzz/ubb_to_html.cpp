// Post markup for the preview: any text, under the default templates or the
// user's own, converts within its time budget or reports why not, and a post
// without "<script" never gives a page with one.
#include "FuzzSupport.h"
#include "markup/UbbToHtml.h"
#include "platform/AnsiCodePage.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>

namespace {
qsizetype ScriptTags(const QString& text) {
    return text.count(QLatin1String("<script"), Qt::CaseInsensitive);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    TSettingsMirror settings;
    settings.UBBUrl = "[url=$1]$2[/url]";
    settings.UBBImg = "[img]$1[/img]";
    settings.UBBFlash = "[flash=$1,$2]$3[/flash]";
    if (in.ConsumeBool()) {
        // Templates as the user may type them, in the code page.
        settings.UBBUrl = QByteArray::fromStdString(in.ConsumeRandomLengthString(24));
        settings.UBBImg = QByteArray::fromStdString(in.ConsumeRandomLengthString(24));
        settings.UBBFlash = QByteArray::fromStdString(in.ConsumeRandomLengthString(24));
    }
    const QString ubb =
        QString::fromUtf8(QByteArray::fromStdString(in.ConsumeRemainingBytesAsString()));
    const auto start = std::chrono::steady_clock::now();
    const std::chrono::milliseconds budget{300};
    try {
        const QString html = UbbToHtml(ubb, settings, budget);
        const qsizetype templatesTags = ScriptTags(AnsiCodePage::toUnicode(settings.UBBUrl)) +
                                        ScriptTags(AnsiCodePage::toUnicode(settings.UBBImg)) +
                                        ScriptTags(AnsiCodePage::toUnicode(settings.UBBFlash));
        // The rules print a tag's text more than once ("mailto:$2">$2), so a
        // "<script" of the post may come out twice; none may come from nowhere.
        if (templatesTags == 0 && ScriptTags(ubb) == 0)
            FUZZ_CHECK(ScriptTags(html) == 0, ubb.toUtf8(), html.toUtf8());
    } catch (const UbbPreview::RuleError& e) {
        FUZZ_CHECK(!e.message().isEmpty());
    } catch (const UbbPreview::RuleTimeout& e) {
        FUZZ_CHECK(!e.message().isEmpty());
    }
    // The budget holds, with room for a loaded machine.
    const auto spent = std::chrono::steady_clock::now() - start;
    FUZZ_CHECK(spent < budget * 10, ubb.toUtf8());
    return 0;
}
