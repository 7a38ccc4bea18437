#include "settings/CategoryNames.h"

#include "settings/IniFile.h"

namespace CategoryNames {

namespace {
constexpr char kSection[] = "TabClass";
}

QByteArray keyFor(int slot) {
    return QByteArrayLiteral("tab") + QByteArray::number(slot);
}

QByteArray read(const IniFile& ini, int slot) {
    return ini.readString(kSection, keyFor(slot));
}

QList<Entry> readNamed(const IniFile& ini) {
    QList<Entry> entries;
    for (int slot = 0; slot < kSlots; ++slot) {
        QByteArray name = read(ini, slot);
        if (!name.isEmpty())
            entries.append(Entry{slot, std::move(name)});
    }
    return entries;
}

int findFreeSlot(const IniFile& ini) {
    for (int slot = 0; slot < kSlots; ++slot) {
        if (read(ini, slot).isEmpty())
            return slot;
    }
    return -1;
}

void save(const IniFile& ini, const QList<Entry>& entries) {
    const qsizetype count = qMin<qsizetype>(entries.size(), kSlots);
    for (qsizetype i = 0; i < count; ++i)
        ini.writeString(kSection, keyFor(entries[i].slot), entries[i].name);
}

void remove(const IniFile& ini, int slot) {
    ini.deleteKey(kSection, keyFor(slot));
}

} // namespace CategoryNames
