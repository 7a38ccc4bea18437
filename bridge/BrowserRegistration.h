#pragma once
// The browser's context-menu entries and the record that tells outside
// readers where the program lives. Both are rewritten at every start.
#include <QString>

#include <array>

struct BrowserMenuEntry {
    const char* caption; // UTF-8; the key name after "MenuExt\", with its leading blank
    const char* page;    // the page in the program's html folder
    int contexts;        // the "Contexts" mask, or -1 where the entry has none
};

// The nine entries, in the order they are written.
const std::array<BrowserMenuEntry, 9>& browserMenuEntries();

// Key of HKEY_CURRENT_USER under which every entry is a subkey.
inline constexpr char kBrowserMenuKey[] = "Software\\Microsoft\\Internet Explorer\\MenuExt\\";
// Key of HKEY_LOCAL_MACHINE that holds "exefile", "version" and "Convent".
inline constexpr char kProgramKey[] = "\\Software\\Vellum";
// "V" and the version.
extern const char kProgramVersion[];

// Writes "exefile" = exePath and "version" under kProgramKey.
// Throws VellumError (the key store's message) when a write fails.
void RegisterProgramLocation(const QString& exePath);

// Writes the nine entries: each key's default value is the page in pagesDir
// (programDir + "html/" when empty; the installed extension's folder
// otherwise), and "Contexts" where the entry has one. Other values in those
// keys are left alone. Throws like RegisterProgramLocation.
void RegisterBrowserMenu(const QString& programDir, const QString& pagesDir = QString());
