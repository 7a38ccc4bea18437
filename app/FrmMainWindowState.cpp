// The main window's behaviour as a window: its wide and narrow forms, the
// auto-hide at the top edge of the screen, the tray icon with its menu, the
// about box and the form and place remembered in config.ini. The decisions are taken by
// DockingDecisions; this file only asks and acts.
#include "app/HelpPage.h"
#include "app/TFrmMain.h"
#include "app/TfrmAbout.h"
#include "settings/IniFile.h"
#include "ui/CaptionBand.h"
#include "ui/DockingDecisions.h"
#include "ui/HoverWatcher.h"
#include "ui/KeyboardMenus.h"
#include "ui/MagneticDock.h"
#include "ui/ProductAddresses.h"
#include "ui/TopEdgeSlide.h"
#include "ui/TrayMenu.h"
#include "ui/WindowForms.h"
#include "ui/WindowPlatform.h"

#include <QApplication>
#include <QBoxLayout>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>

void TFrmMain::createTrayIcon() {
    m_trayAvailable = WindowPlatform::trayAvailable();
    CoolTrayIcon1 = new QSystemTrayIcon(windowIcon(), this);
    CoolTrayIcon1->setObjectName(QStringLiteral("CoolTrayIcon1"));
    CoolTrayIcon1->setToolTip(windowTitle());
    PopupMenu = new TrayMenu(this);
    CoolTrayIcon1->setContextMenu(PopupMenu);
    // The tray menu's commands, from the keyboard and where there is no tray.
    KeyboardMenus::offerWindowMenu(this, PopupMenu);
    connect(CoolTrayIcon1, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    ShowMainWindow();
            });
    connect(PopupMenu, &TrayMenu::showMainWindowRequested, this, &TFrmMain::ShowMainWindow);
    connect(PopupMenu, &TrayMenu::browserEditionRequested, this,
            [this] { HelpPage::open(this, ProductAddresses::ExtensionSection); });
    connect(PopupMenu, &TrayMenu::settingsRequested, this, [this] {
        if (!raiseOpenDialog())
            openSettings();
    });
    connect(PopupMenu, &TrayMenu::forumRequested, this, [this] { HelpPage::open(this); });
    connect(PopupMenu, &TrayMenu::helpRequested, this, [this] { HelpPage::open(this); });
    connect(PopupMenu, &TrayMenu::aboutRequested, this, &TFrmMain::showAbout);
    connect(PopupMenu, &TrayMenu::exitRequested, this, &QWidget::close);
}

void TFrmMain::setupWindowBehaviour() {
    m_programTitle = windowTitle();
    m_toolbar = findChild<QWidget*>(QStringLiteral("CoolBar1"));

    Magnetic1 = new MagneticDock(this);
    m_captionBand = new CaptionBand(this);
    m_captionBand->hide();
    static_cast<QBoxLayout*>(layout())->insertWidget(0, m_captionBand);
    m_forms = std::make_unique<WindowForms>(*this, m_editorColumn, m_bodyLayout, m_captionBand);
    m_captionBand->setSnapRule([this](int globalX) {
        return DockingDecisions::captionPressSnaps(width(), autoHideUsable(), globalX,
                                                   frameGeometry().x());
    });
    connect(m_captionBand, &CaptionBand::snapPressed, Magnetic1, &MagneticDock::press);
    connect(m_captionBand, &CaptionBand::snapMoved, Magnetic1, &MagneticDock::drag);
    connect(m_captionBand, &CaptionBand::snapReleased, Magnetic1, &MagneticDock::release);
    connect(m_captionBand, &CaptionBand::minimiseClicked, this, &TFrmMain::minimise);
    connect(m_captionBand, &CaptionBand::closeClicked, this, &QWidget::close);

    m_slide = new TopEdgeSlide(*this);

    // The lowest strip of a slid-up window is the status bar's.
    auto* hover = new HoverWatcher(this, [this] { RevealDocked(); });
    MyStatusBar->setMouseTracking(true);
    MyStatusBar->installEventFilter(hover);
    for (QWidget* panel : MyStatusBar->findChildren<QWidget*>())
        panel->installEventFilter(hover);

    connect(Timer2, &QTimer::timeout, this, &TFrmMain::AutoHideTick);
    connect(BitBtn1, &QToolButton::clicked, this, &TFrmMain::ToggleDockMode);
    connect(btnAbout, &QToolButton::clicked, this, &TFrmMain::showAbout);
    connect(btnHelp, &QToolButton::clicked, this, [this] { HelpPage::open(this); });
}

bool TFrmMain::autoHideUsable() const {
    // Where the desktop places windows itself, snapping and sliding would
    // only fight it.
    return m_settings.AutoHide && WindowPlatform::canPlaceWindows();
}

bool TFrmMain::isNarrow() const {
    return width() == DockingDecisions::kNarrowWidth;
}

bool TFrmMain::isDockingActive() const {
    return Magnetic1->isActive();
}

void TFrmMain::ToggleDockMode() {
    const DockingDecisions::DockSwitch next = DockingDecisions::toggle(
        width(), autoHideUsable(), Timer2->isActive(), Magnetic1->isActive());
    setForm(next.width);
    if (next.timerOn)
        Timer2->start();
    else
        Timer2->stop();
    Magnetic1->setActive(next.dockingOn);
}

void TFrmMain::setForm(int width) {
    m_forms->setForm(width, kClientHeight);
}

void TFrmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_toolbar)
        m_toolbar->setVisible(DockingDecisions::toolbarVisible(width()));
    const QString title = DockingDecisions::captionShowsTitle(width()) ? m_programTitle : QString();
    setWindowTitle(title);
    if (m_captionBand)
        m_captionBand->setTitle(title);
}

void TFrmMain::AutoHideTick() {
    m_slide->tick();
}

void TFrmMain::RevealDocked() {
    m_slide->reveal();
}

void TFrmMain::applyStoredForm() {
    if (m_storedFormApplied)
        return;
    m_storedFormApplied = true;
    const int stored = IniFile(iniPath()).readInteger("Common", "WinState", 0);
    if (DockingDecisions::startsNarrow(stored) && !isNarrow())
        ToggleDockMode();
    // Where the user left it; ShowMainWindow brings it onto a screen that
    // still exists.
    if (m_settings.WinLeft && m_settings.WinTop)
        move(*m_settings.WinLeft, *m_settings.WinTop);
}

void TFrmMain::ShowMainWindow() {
    // The first showing comes up in the remembered form and place.
    applyStoredForm();
    // Wholly on screen, whatever a window manager made of a slide.
    m_slide->bringOnScreen();
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TFrmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_everShown = true;
    if (!m_storedFormApplied)
        QTimer::singleShot(0, this, &TFrmMain::applyStoredForm);
}

void TFrmMain::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    // The other categories are read once the window has something to show.
    if (!m_remainingLoadsStarted)
        QTimer::singleShot(0, this, &TFrmMain::loadRemainingCategories);
}

void TFrmMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Minimised with a notification area, only the tray icon remains;
    // without one the window keeps its task-bar button.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && m_trayAvailable)
        QTimer::singleShot(0, this, [this] {
            if (!isMinimized())
                return;
            hide();
            setWindowState(windowState() & ~Qt::WindowMinimized);
        });
}

void TFrmMain::minimise() {
    // Straight to the tray where there is one: a frameless window cannot
    // count on the window manager to report its minimised state.
    if (m_trayAvailable)
        hide();
    else
        showMinimized();
}

bool TFrmMain::raiseOpenDialog() {
    // A dialog is already open: bring it forward rather than open another.
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal)
        return false;
    modal->raise();
    modal->activateWindow();
    return true;
}

void TFrmMain::showAbout() {
    if (raiseOpenDialog())
        return;
    if (auto* about = findChild<TfrmAbout*>())
        about->exec();
}

void TFrmMain::writeWindowState() {
    IniFile(iniPath()).writeInteger("Common", "WinState", winStateAtClose());
    // A slid-up window is remembered where it was docked; a window that was
    // never shown keeps the place it had.
    if (m_everShown) {
        const QPoint place = m_slide->restingPlace();
        SaveWindowPosition(m_settings, iniPath(), place.x(), place.y());
    }
}

int TFrmMain::winStateAtClose() const {
    int stored = 0;
    if (!m_everShown)
        stored = IniFile(iniPath()).readInteger("Common", "WinState", 0);
    return DockingDecisions::winStateAtClose(m_everShown, width(), stored);
}
