#pragma once
// Profile-file access in the manner of the Windows profile API: every call
// reads or writes the file by its full path. Reads share one parsed copy of
// the file for as long as the file on disk stays the same (same inode, size
// and change time), so a batch of reads reads a large file once, and a change
// by a write, or by anyone else, is read back at the next call.
// The file is kept line for line and byte for byte: a write changes only the
// value text of its key, so comments, blank lines, spacing, the order of
// sections and keys and the line-ending style survive. Values are code-page
// bytes and are read whole, whatever their length.
//
// Names of sections and keys match without regard to ASCII case; spaces and
// tabs around names and values are ignored; a value in matching quotes
// ('"' or '\'') loses them. Where a section or key appears twice, the first
// one counts.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

class IniFile {
  public:
    explicit IniFile(QString path);

    const QString& path() const { return m_path; }

    // Missing file, section or key gives the default; a key with an empty
    // value gives an empty string.
    QByteArray readString(QByteArrayView section, QByteArrayView key,
                          const QByteArray& defaultValue = QByteArray()) const;
    // Decimal with an optional sign, or "0x"/"0X" and hexadecimal digits; any
    // other text (or a number outside 32 bits) gives the default.
    int readInteger(QByteArrayView section, QByteArrayView key, int defaultValue) const;
    // Read as an integer: non-zero is on, zero off, not an integer the default.
    bool readBool(QByteArrayView section, QByteArrayView key, bool defaultValue) const;

    bool sectionExists(QByteArrayView section) const;
    bool valueExists(QByteArrayView section, QByteArrayView key) const;
    // Key names of a section, in file order, as written in the file.
    QList<QByteArray> sectionKeys(QByteArrayView section) const;

    // Writes reach the file at once and atomically (temporary file and
    // rename); the first write creates the file, the section and the key.
    // A failure throws VellumError("无法写入设置文件“<path>”。") and leaves the
    // old file whole. A value may not hold a line break.
    void writeString(QByteArrayView section, QByteArrayView key, QByteArrayView value) const;
    void writeInteger(QByteArrayView section, QByteArrayView key, int value) const;
    // Written as "1" or "0".
    void writeBool(QByteArrayView section, QByteArrayView key, bool value) const;
    // Removes the key (every copy of it in the section); a missing key is no
    // error and leaves the file untouched.
    void deleteKey(QByteArrayView section, QByteArrayView key) const;
    // Removes a whole section with its keys.
    void eraseSection(QByteArrayView section) const;

    // Why an existing file cannot be read, as a Chinese sentence for the
    // user; empty when it can be read or does not exist.
    static QString readProblem(const QString& path);

    // Parsing helpers, exposed for the settings readers' own checks.
    static bool parseInteger(QByteArrayView text, int* value);

  private:
    QString m_path;
};
