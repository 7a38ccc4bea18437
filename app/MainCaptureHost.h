#pragma once
// Lets the clipboard poll drive the main window's editor and lists.
#include "bridge/CaptureHost.h"

class TFrmMain;

class MainCaptureHost : public CaptureHost {
  public:
    explicit MainCaptureHost(TFrmMain& window) : m_win(window) {}

    QString titleText() const override;
    void setTitleText(const QString& title) override;
    QString contentText() const override;
    void appendContentLine(const QString& line) override;
    void clearContent() override;
    bool contentUnsaved() const override;
    void showNote(const QString& text) override;
    QString editorMode() const override;
    void setEditorMode(const QString& mode) override;
    bool capturedTitle() const override;
    void setCapturedTitle(bool on) override;
    void setStatusText(const QString& text) override;
    int activeCategory() const override;
    int selectedRow() const override;
    int rowCount() const override;
    std::optional<QByteArray> record(int category, int row) const override;
    void selectRow(int row) override;
    bool savePost(const QString& title, const QString& content) override;
    void publishPost(const QString& title, const QString& content) override;
    const TSettingsMirror& settings() const override;
    void showPictureList(const QByteArray& payload) override;
    void playSuccessSound() override;
    void restoreMainWindow() override;
    void showError(const QString& message) override;
    void setPollEnabled(bool on) override;

  private:
    TFrmMain& m_win;
};
