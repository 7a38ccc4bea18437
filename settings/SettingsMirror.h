#pragma once
// The main window's copy of the settings that other parts act on, one field
// per config.ini key. Parts read these fields, never the file.
#include <QByteArray>
#include <QString>

#include <optional>

struct TSettingsMirror {
    // Section UBBSet: tag templates, code-page bytes as stored.
    QByteArray UBBUrl;
    QByteArray UBBImg;
    QByteArray UBBEmail;
    QByteArray UBBFlash;
    QByteArray UBBRm;
    QByteArray UBBMp;
    // Section PostData.
    QByteArray URL;
    // Section Common, with the main window's defaults.
    bool StayOnTop = true;
    bool RetoreMainWin = true;
    bool RunMini = false;
    bool AutoHide = false;
    bool ClearContentOnGetTitle = false;
    bool SoundOnSucc = false;
    bool NoConvert = false;
    bool Convert2UBB = true;
    bool GetAutoSave = true;
    bool MemoAutoline = true;
    bool KeepSubject = true;
    bool SetClipBoard = false;
    // Where the daily usage request goes; empty sends nothing.
    QByteArray UsageURL;
    // The main window's place (its frame's top-left) at the last close;
    // absent before the first.
    std::optional<int> WinLeft;
    std::optional<int> WinTop;
};

// Fills the mirror from config.ini at iniPath (missing file/keys give the
// defaults above).
void LoadSettings(TSettingsMirror& mirror, const QString& iniPath);

// Writes the main window's place into config.ini and the mirror.
void SaveWindowPosition(TSettingsMirror& mirror, const QString& iniPath, int left, int top);
