#include "settings/SettingsMirror.h"

#include "settings/IniFile.h"

namespace {
std::optional<int> readOptionalInteger(const IniFile& ini, QByteArrayView key) {
    bool ok = false;
    const int value = ini.readString("Common", key).trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}
} // namespace

void LoadSettings(TSettingsMirror& mirror, const QString& iniPath) {
    const IniFile ini(iniPath);
    mirror.UBBUrl = ini.readString("UBBSet", "UBBUrl");
    mirror.UBBImg = ini.readString("UBBSet", "UBBImg");
    mirror.UBBEmail = ini.readString("UBBSet", "UBBEmail");
    mirror.UBBFlash = ini.readString("UBBSet", "UBBFlash");
    mirror.UBBRm = ini.readString("UBBSet", "UBBRm");
    mirror.UBBMp = ini.readString("UBBSet", "UBBMp");
    mirror.URL = ini.readString("PostData", "URL");
    // The main window's defaults: unlike the dialog, AutoHide is off.
    mirror.StayOnTop = ini.readBool("Common", "StayOnTop", true);
    mirror.RetoreMainWin = ini.readBool("Common", "RetoreMainWin", true);
    mirror.RunMini = ini.readBool("Common", "RunMini", false);
    mirror.AutoHide = ini.readBool("Common", "AutoHide", false);
    mirror.ClearContentOnGetTitle = ini.readBool("Common", "ClearContentOnGetTitle", false);
    mirror.SoundOnSucc = ini.readBool("Common", "SoundOnSucc", false);
    mirror.NoConvert = ini.readBool("Common", "NoConvert", false);
    mirror.Convert2UBB = ini.readBool("Common", "Convert2UBB", true);
    mirror.GetAutoSave = ini.readBool("Common", "GetAutoSave", true);
    mirror.MemoAutoline = ini.readBool("Common", "MemoAutoline", true);
    mirror.KeepSubject = ini.readBool("Common", "KeepSubject", true);
    mirror.SetClipBoard = ini.readBool("Common", "SetClipBoard", false);
    mirror.UsageURL = ini.readString("Common", "UsageURL");
    mirror.WinLeft = readOptionalInteger(ini, "WinLeft");
    mirror.WinTop = readOptionalInteger(ini, "WinTop");
}

void SaveWindowPosition(TSettingsMirror& mirror, const QString& iniPath, int left, int top) {
    const IniFile ini(iniPath);
    ini.writeInteger("Common", "WinLeft", left);
    ini.writeInteger("Common", "WinTop", top);
    mirror.WinLeft = left;
    mirror.WinTop = top;
}
