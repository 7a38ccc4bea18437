#pragma once
// The folder one run of downloads writes into, held open for the run. Below
// the save folder the user chose, the title folder is made and opened without
// following a link, and every file is created relative to the open folder:
// a link planted in its place, or a folder renamed while the files arrive,
// can never send a download somewhere else.
#include <QString>

#include <memory>

class DownloadDir {
  public:
    // Makes the save folder (and its parents) and the title folder below it,
    // and opens the latter; an empty title folder name opens the save folder.
    // Null with *error set to errno when either cannot be made or opened, or
    // when the title folder is a link (ELOOP).
    static std::shared_ptr<DownloadDir> open(const QString& saveFolder, const QString& titleFolder,
                                             int* error);

    // Opens a folder that exists, following links, without making it.
    static std::shared_ptr<DownloadDir> existing(const QString& folder, int* error);

    ~DownloadDir();
    DownloadDir(const DownloadDir&) = delete;
    DownloadDir& operator=(const DownloadDir&) = delete;

    int fd() const { return m_fd; }
    // The folder's path as the user knows it, for messages and results.
    const QString& path() const { return m_path; }

  private:
    DownloadDir(int fd, QString path) : m_fd(fd), m_path(std::move(path)) {}
    int m_fd;
    QString m_path;
};
