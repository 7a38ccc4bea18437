#pragma once
// Where a downloaded image goes: the save folder, a folder named after the
// post's title, and a file name of its own. Names never leave the save
// folder, stay within 255 bytes, and a file is claimed by creating it, so two
// downloads of "a.gif" never write into one file.
#include <QByteArray>
#include <QString>

// The title without "\", "/" and "*"; "." and ".." give no folder (empty).
QString TitleFolderName(const QString& title);

// The save folder as stored in config.ini; missing, empty or a Windows drive
// path ("c:\" and the like) gives the user's Downloads folder.
QString EffectiveSaveFolder(const QString& stored);

// The save folder, and the title folder below it unless that is empty.
QString DownloadFolder(const QString& saveFolder, const QString& titleFolder);

// The text after the last "/" (or "\") of the address, within 255 bytes.
QString FileNameFromAddress(const QString& address);

// The name tried after `name` was taken: base + "00" + n + extension, so
// "pic.gif" goes on as "pic001.gif" … "pic009.gif", "pic0010.gif".
QString NumberedFileName(const QString& name, int n);

// Creates a new file in folder under name, or under the first free numbered
// name; an existing file or symbolic link is never opened. Returns the open
// descriptor and sets *path, or -1 with errno set.
int CreateUniqueFile(const QString& folder, const QString& name, QString* path);
// The same inside the open folder dirFd; *created is the name taken.
int CreateUniqueFileAt(int dirFd, const QString& name, QString* created);
