#include "app/MainCaptureHost.h"

#include "app/MessageBoxes.h"
#include "app/TFrmMain.h"
#include "bridge/TagBuilder.h"
#include "net/TFormPicList.h"
#include "platform/SoundPlayer.h"
#include "store/TDateMan.h"
#include "ui/LongLineWrap.h"

#include <QPlainTextEdit>
#include <QTimer>

QString MainCaptureHost::titleText() const {
    return m_win.titleText();
}
void MainCaptureHost::setTitleText(const QString& title) {
    m_win.setTitleText(title);
}
QString MainCaptureHost::contentText() const {
    return m_win.contentText();
}
void MainCaptureHost::appendContentLine(const QString& line) {
    LongLineWrap::prepareFor(m_win.meoContent, line);
    AppendContentLine(m_win.meoContent, line);
}
void MainCaptureHost::clearContent() {
    m_win.meoContent->clear();
}
bool MainCaptureHost::contentUnsaved() const {
    return m_win.contentUnsaved();
}
void MainCaptureHost::showNote(const QString& text) {
    m_win.showNote(text);
}
QString MainCaptureHost::editorMode() const {
    return m_win.editorMode();
}
void MainCaptureHost::setEditorMode(const QString& mode) {
    m_win.setEditorMode(mode);
}
bool MainCaptureHost::capturedTitle() const {
    return m_win.capturedTitle();
}
void MainCaptureHost::setCapturedTitle(bool on) {
    m_win.setCapturedTitle(on);
}
void MainCaptureHost::setStatusText(const QString& text) {
    m_win.setStatusText(text);
}
int MainCaptureHost::activeCategory() const {
    return m_win.activeCategory();
}
int MainCaptureHost::selectedRow() const {
    return m_win.selectedRow(m_win.activeCategory());
}
int MainCaptureHost::rowCount() const {
    return m_win.store().RecordCount(m_win.activeCategory());
}

std::optional<QByteArray> MainCaptureHost::record(int category, int row) const {
    if (category < 0 || category >= TFrmMain::kCategories || row < 0 ||
        row >= m_win.store().RecordCount(category))
        return std::nullopt;
    return m_win.store().record(category, row);
}

void MainCaptureHost::selectRow(int row) {
    m_win.selectRow(m_win.activeCategory(), row);
}
bool MainCaptureHost::savePost(const QString& title, const QString& content) {
    return m_win.SavePost(title, content);
}
void MainCaptureHost::publishPost(const QString& title, const QString& content) {
    m_win.publishToBlock(title, content);
}
const TSettingsMirror& MainCaptureHost::settings() const {
    return m_win.settings();
}

void MainCaptureHost::showPictureList(const QByteArray& payload) {
    m_win.m_frmPicList->LoadPictures(payload);
    m_win.m_frmPicList->exec();
}

void MainCaptureHost::playSuccessSound() {
    SoundPlayer::playSuccessSound();
}

void MainCaptureHost::restoreMainWindow() {
    m_win.bringToFront();
}

void MainCaptureHost::showError(const QString& message) {
    MessageBoxes::error(&m_win, message);
}

void MainCaptureHost::setPollEnabled(bool on) {
    if (on)
        m_win.Timer1->start();
    else
        m_win.Timer1->stop();
}
