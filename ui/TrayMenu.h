#pragma once
// The tray icon's menu "PopupMenu": a blue banner with "→Vellum" running
// down its left side, and beside it, top to bottom, show the main window,
// the browser edition's page, the settings, the forum, the online help, the
// about box and the exit. Each item is an action named as the window names
// it (N1, IE1, N4, N10, N7, N2, N3; separators N5, N6, N8); the menu only
// emits what was chosen.
#include <QMenu>

class TrayMenu : public QMenu {
    Q_OBJECT
  public:
    // The banner column's width.
    static constexpr int kBannerWidth = 24;

    explicit TrayMenu(QWidget* parent = nullptr);

    // The banner as drawn on a menu of the given height: the gradient strip
    // and the rotated title. paintEvent draws exactly this.
    static void paintBanner(QPainter& painter, int width, int height, int firstItemBottom);

  signals:
    void showMainWindowRequested();
    void browserEditionRequested();
    void settingsRequested();
    void forumRequested();
    void helpRequested();
    void aboutRequested();
    void exitRequested();

  protected:
    void paintEvent(QPaintEvent* event) override;
};
