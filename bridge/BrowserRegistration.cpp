#include "bridge/BrowserRegistration.h"

#include "platform/KeyStore.h"

using KeyStore::Hive;

const std::array<BrowserMenuEntry, 9>& browserMenuEntries() {
    static const std::array<BrowserMenuEntry, 9> entries{{
        {" →获取标题", "GetTitle.htm", 0x10},
        {" →获取内容", "GetContent.htm", -1},
        {" ←设置标题", "SetTitle.htm", 0x04},
        {" ←设置内容", "SetContent.htm", 0x04},
        {" →提取图片", "GetPic.htm", 0x02},
        {" →提取链接", "GetHref.htm", 0x22},
        {" ∈提取Flash及媒体文件", "ListFlash.htm", -1},
        {" ∈提取全部图片", "GetAllPic.htm", -1},
        {" ⊙快速回复", "QuickNote.htm", 0x04},
    }};
    return entries;
}

// Each hive is rewritten once: a start-up should not pay for a dozen
// synchronous file replacements.
const char kProgramVersion[] = "V" VELLUM_VERSION;

void RegisterProgramLocation(const QString& exePath) {
    const QString key = QLatin1String(kProgramKey);
    KeyStore::setValues(Hive::LocalMachine,
                        {{key, QStringLiteral("exefile"), exePath},
                         {key, QStringLiteral("version"), QLatin1String(kProgramVersion)}});
}

void RegisterBrowserMenu(const QString& programDir, const QString& pagesDir) {
    QString dir = pagesDir;
    if (dir.isEmpty())
        dir = programDir.isEmpty() || programDir.endsWith(QLatin1Char('/'))
                  ? programDir + QStringLiteral("html/")
                  : programDir + QStringLiteral("/html/");
    else if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    std::vector<KeyStore::Write> writes;
    for (const BrowserMenuEntry& entry : browserMenuEntries()) {
        const QString key = QLatin1String(kBrowserMenuKey) + QString::fromUtf8(entry.caption);
        writes.push_back({key, QString(), dir + QLatin1String(entry.page)});
        if (entry.contexts >= 0)
            writes.push_back(
                {key, QStringLiteral("Contexts"), static_cast<quint32>(entry.contexts)});
    }
    KeyStore::setValues(Hive::CurrentUser, writes);
}
