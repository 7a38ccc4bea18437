#pragma once
// Category names: key "tab" + slot digit in section TabClass of config.ini.
// A missing or empty value means the slot holds no category.
#include <QByteArray>
#include <QList>

class IniFile;

namespace CategoryNames {

constexpr int kSlots = 6;

struct Entry {
    int slot;
    QByteArray name; // code-page bytes
};

QByteArray keyFor(int slot);
// The stored name of a slot; empty when the slot is free.
QByteArray read(const IniFile& ini, int slot);
// The named slots in slot order, as the category tree lists them.
QList<Entry> readNamed(const IniFile& ini);
// The lowest slot whose name is missing or empty; -1 when all six are named.
int findFreeSlot(const IniFile& ini);
// Writes the names of the given entries, at most six, in their order; slots
// not listed are left as they are.
void save(const IniFile& ini, const QList<Entry>& entries);
// Removes the name of one slot. The slot's category file stays untouched.
void remove(const IniFile& ini, int slot);

} // namespace CategoryNames
