#pragma once
// "下载文件": the image addresses of a post, each with a check box, and the
// folder to save them in. "开始下载" fetches every ticked address into a
// folder named after the post's title; the progress bar counts finished
// files, the end is announced with the number that failed, and the dialog
// closes. Closing it early lets the downloads go on. The save folder is read
// from config.ini once and written back whenever the dialog closes.
// Created once at start-up and reused; shown modally.
#include "net/UiHandOver.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
struct DownloadOutcome;

class TFrmDownfile : public QDialog {
    Q_OBJECT
  public:
    // Returns the chosen folder, or an empty string on cancel.
    using FolderBrowser = std::function<QString(QWidget* owner)>;

    explicit TFrmDownfile(const QString& iniPath, QWidget* parent = nullptr);
    ~TFrmDownfile() override;

    // Lists the addresses for the title's post, all ticked, and shows the
    // dialog modally.
    void ShowDownloads(const QString& title, const QStringList& addresses);
    // Fills the dialog as ShowDownloads does, without showing it.
    void Prepare(const QString& title, const QStringList& addresses);

    // The folder browser of "浏览"; tests put their own in its place.
    void setFolderBrowser(FolderBrowser browser) { m_browseFolder = std::move(browser); }

    // Downloads started and not yet finished.
    int pendingDownloads() const { return m_pending; }

  signals:
    // After the end message was answered.
    void downloadsFinished(int failed);

  protected:
    void done(int result) override;

  private:
    void selectPath();
    void startDownload();
    void fileFinished(const DownloadOutcome& outcome);
    void saveFolderSetting();

    QListWidget* clbfilelist;
    QProgressBar* ProgressBar1;
    QLabel* Label1;
    QLineEdit* edtsavepath;
    QPushButton* btnselectpath;
    QPushButton* btnok;
    QPushButton* btncancel;

    QString m_iniPath;
    QString m_titleFolder;
    FolderBrowser m_browseFolder;
    UiHandOverPtr m_handOver;
    int m_pending = 0;
    int m_failed = 0;
};
