#include "net/ExportRule.h"

#include "settings/IniFile.h"

namespace ExportRule {
namespace {
constexpr QByteArrayView kBreak = "%ODOA";
} // namespace

QByteArray encode(QByteArrayView rule) {
    QByteArray out;
    out.reserve(rule.size());
    for (qsizetype i = 0; i < rule.size(); ++i) {
        const char c = rule[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < rule.size() && rule[i + 1] == '\n')
                ++i;
            out.append(kBreak);
        } else {
            out.append(c);
        }
    }
    return out;
}

QByteArray decode(QByteArrayView stored) {
    QByteArray out = stored.toByteArray();
    out.replace(kBreak, "\r\n");
    return out;
}

Values load(const QString& iniPath) {
    const IniFile ini(iniPath);
    Values values;
    values.rule = decode(ini.readString("ExportRule", "Rule"));
    values.plainText = ini.readBool("ExportRule", "Settings", true);
    return values;
}

void save(const QString& iniPath, const Values& values) {
    const IniFile ini(iniPath);
    ini.writeString("ExportRule", "Rule", encode(values.rule));
    ini.writeBool("ExportRule", "Settings", values.plainText);
}

} // namespace ExportRule
