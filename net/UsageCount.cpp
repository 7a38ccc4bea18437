#include "net/UsageCount.h"

#include "net/TPostDataThread.h"
#include "platform/AnsiCodePage.h"
#include "settings/IniFile.h"

bool RecordUsageDay(const IniFile& ini, const QDate& today) {
    const QByteArray day = today.toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
    if (ini.readString("Common", "ldate") == day)
        return false;
    ini.writeString("Common", "ldate", day);
    return true;
}

bool SendUsageCount(const QString& iniPath, const QDate& today) {
    const IniFile ini(iniPath);
    if (!RecordUsageDay(ini, today))
        return false;
    const QByteArray address = ini.readString("Common", "UsageURL");
    if (address.isEmpty())
        return false;
    TPostDataThread::Start(AnsiCodePage::toUnicode(address), kUsageReadTimeoutMs, {});
    return true;
}
