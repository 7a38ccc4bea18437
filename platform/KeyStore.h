#pragma once
// A small registry of our own: one ".reg"-syntax text file per hive under
// $XDG_CONFIG_HOME/vellum/registry/, UTF-8, written atomically. Outside
// readers (our browser helper) read the same files.
#include <QString>

#include <optional>
#include <variant>
#include <vector>

namespace KeyStore {

enum class Hive { CurrentUser, LocalMachine };

// key is a backslash path such as "Software\\Vellum" (a leading backslash is
// ignored); an empty name is the key's default value. Missing keys are
// created. Failures throw VellumError("无法写入设置文件“<file>”，设置项“<name>”没有保存。").
void setString(Hive hive, const QString& key, const QString& name, const QString& value);
void setDword(Hive hive, const QString& key, const QString& name, quint32 value);

// Several values written with one rewrite of the hive file. On failure
// nothing is written and the error names the first value, where a value by
// value write would have stopped.
struct Write {
    QString key;
    QString name;
    std::variant<QString, quint32> value;
};
void setValues(Hive hive, const std::vector<Write>& writes);

// Removing a value or key that does not exist is no error.
void deleteValue(Hive hive, const QString& key, const QString& name);
void deleteKey(Hive hive, const QString& key);

std::optional<QString> readString(Hive hive, const QString& key, const QString& name);
std::optional<quint32> readDword(Hive hive, const QString& key, const QString& name);

// The file that holds a hive.
QString hiveFile(Hive hive);

} // namespace KeyStore
