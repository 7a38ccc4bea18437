#include "app/TFrmMain.h"

#include "app/CategoryListModel.h"
#include "app/ClosingSave.h"
#include "app/MainCaptureHost.h"
#include "app/MessageBoxes.h"
#include "app/PostRowDelegate.h"
#include "app/SaveFailureBox.h"
#include "app/TFrmSearchSubject.h"
#include "app/TfrmAbout.h"
#include "app/Tfrmtrans.h"
#include "bridge/BrowserRegistration.h"
#include "bridge/CapturePoll.h"
#include "bridge/TagBuilder.h"
#include "markup/MemoMenu.h"
#include "markup/TFrmInsertUBB.h"
#include "markup/TfrmSearchReplace.h"
#include "net/TFormPicList.h"
#include "net/TFrmDownfile.h"
#include "net/Tfrmexportdata.h"
#include "platform/AnsiCodePage.h"
#include "platform/ErrorReporter.h"
#include "platform/NextPostChannel.h"
#include "platform/Paths.h"
#include "platform/SharedTextBlock.h"
#include "platform/VellumError.h"
#include "settings/IniFile.h"
#include "settings/TFrmConfig.h"
#include "store/BackgroundSaver.h"
#include "store/TDateMan.h"
#include "ui/Accessibility.h"
#include "ui/Icons.h"
#include "ui/MultiRowTabHeader.h"
#include "ui/Skin.h"
#include "ui/ToastPopup.h"
#include "ui/WindowForms.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdio>

namespace {
const QString kProgramTitle = QStringLiteral("VellumV" VELLUM_VERSION);

QFont editorFont() {
    QFont font;
    // "宋体" where it exists; an installed CJK font otherwise.
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Droid Sans Fallback")});
    font.setPixelSize(12);
    return font;
}

QIcon icon(const QString& name) {
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(name));
}

QToolButton* makeToolButton(QWidget* parent, const char* name, const char* iconName,
                            const QString& hint, const QString& caption = QString()) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(icon(iconName));
    button->setIconSize(QSize(20, 20));
    button->setToolTip(hint);
    button->setAutoRaise(true);
    if (!caption.isEmpty()) {
        button->setText(caption);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
    return button;
}
} // namespace

TFrmMain::TFrmMain(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FrmMain"));
    // A top-level QWidget is no frame to a screen reader unless it says so.
    Accessibility::install();
    Accessibility::setRole(this, QAccessible::Window);
    setWindowIcon(Icons::get(QString::fromLatin1(Icons::Program)));
    buildLayout();
    m_unsavedQuestion = new UnsavedQuestion(
        this, m_editor,
        [this] {
            return UnsavedQuestion::Texts{edtTitle->text(), meoContent->toPlainText()};
        },
        [this] { return SavePostCommand(); });
    MSNPopUp1 = new ToastPopup(this);
    connect(this, &TFrmMain::postSaved, this,
            [this] { MSNPopUp1->show(QString(), QStringLiteral("帖子已保存!")); });
    ErrorReporter::setHandler(
        [this](const QString& message) { MessageBoxes::error(this, message); });

    // Settings that cannot be read are named at start; checked before the
    // first step writes to the file.
    const QString configProblem =
        IniFile::readProblem(Paths::programDir() + QStringLiteral("config.ini"));
    if (!configProblem.isEmpty())
        m_pendingErrors << configProblem;
    // Creation step, in order.
    setupNetwork();
    SendUsageCount();                   // 1.
    LoadTabCaptions();                  // 2.
    m_programDir = Paths::programDir(); // 3.
    setWindowTitle(kProgramTitle);      // 4.
    setToolTip(kProgramTitle);
    createTrayIcon();
    LoadSettings(m_settings, iniPath());                // 5.
    ApplyWordWrap(meoContent, m_settings.MemoAutoline); // 6.
    m_editor.clear();                                   // 7.
    // 8. A missing data folder is created now, so that closing can write.
    const QString dataDir = m_programDir + QStringLiteral("date");
    QDir().mkpath(dataDir);
    openStore(dataDir); // 9.
    // A shared text block here was left by a killed instance, and holds a
    // post that no running program stands behind.
    try {
        SharedTextBlock::removeLeftOver(Paths::runtimeDir());
    } catch (const VellumError&) {
    }
    for (int k = 0; k < kCategories; ++k) { // 10.
        m_models[k] = new CategoryListModel(m_store.get(), k, this);
        m_lists[k]->setModel(m_models[k]);
        connect(m_lists[k]->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this, k](const QItemSelection&, const QItemSelection& deselected) {
                    onListSelectionChanged(k, deselected);
                });
        // A click on the row that is already selected loads it again, so the
        // editor can go back to the stored post.
        m_lists[k]->viewport()->installEventFilter(this);
        connect(m_lists[k], &QAbstractItemView::clicked, this, [this, k](const QModelIndex& index) {
            if (index.row() == m_rowAtPress && k == activeCategory() &&
                m_unsavedQuestion->settle(EditorState::Action::Load))
                LoadSelectedPost();
            m_rowAtPress = -1;
        });
        RefreshCategoryList(k);
    }
    setupEditorBehaviour();
    // Tab changes act on the lists only once they show the store.
    m_shownPage = mPage->currentIndex();
    connect(mPage, &QTabWidget::currentChanged, this, &TFrmMain::onPageChanged);
    installShortcuts();
    // 11, 12. Where the program lives, and the browser's menu entries.
    try {
        RegisterProgramLocation(Paths::executablePath());
        RegisterBrowserMenu(m_programDir, Paths::extensionDir());
    } catch (const VellumError& e) {
        m_pendingErrors << e.message();
    }
    RegisterBrowserHost();
    Qt::WindowFlags flags = Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                            Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                            Qt::MSWindowsFixedSizeDialogHint;
    if (m_settings.StayOnTop) // 13.
        flags |= Qt::WindowStaysOnTopHint;
    // 15. A tool window has no task-bar button; without a notification area
    // the button stays, or the window could not be reached once minimised.
    if (m_trayAvailable)
        flags |= Qt::Tool;
    setWindowFlags(flags);
    setupWindowBehaviour();
    // 14 (start hidden) is applied by showAtStartUp; 16 (the skin) is applied
    // to the application before the window is built.
    // 17. The next-post message arrives on a local socket.
    m_nextPostChannel = new NextPostChannel(this);
    try {
        m_nextPostChannel->listen(Paths::runtimeDir());
        connect(m_nextPostChannel, &NextPostChannel::messageReceived, this,
                &TFrmMain::onNextPostMessage);
    } catch (const VellumError& e) {
        m_pendingErrors << e.message();
    }

    listenForShowRequests();

    // The clipboard poll runs on Timer1 from the first show to the close.
    m_captureHost = std::make_unique<MainCaptureHost>(*this);
    m_capturePoll = std::make_unique<CapturePoll>(*m_captureHost);
    connect(Timer1, &QTimer::timeout, this, [this] { m_capturePoll->Timer1Timer(); });
    // A change of the clipboard is looked at at once rather than at the next
    // tick; the timer still polls, as a change may pass unannounced.
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        connect(clipboard, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard)
                QTimer::singleShot(0, this, [this] {
                    if (Timer1->isActive())
                        m_capturePoll->Timer1Timer();
                });
        });
    listenForBrowserCommands();

    if (!m_pendingErrors.isEmpty())
        QTimer::singleShot(0, this, &TFrmMain::showPendingErrors);
}

TFrmMain::~TFrmMain() {
    cancelTransfers();
    ErrorReporter::setHandler({});
    Timer1->stop();
    m_capturePoll.reset();
    // A background save finishes before the store goes; the store writes
    // nothing here; the shared block is unmapped last.
    delete m_saver;
    m_store.reset();
    m_sharedBlock.reset();
}

void TFrmMain::buildLayout() {
    setFixedSize(kClientWidth, kClientHeight);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    auto* toolbar = new QWidget(this);
    toolbar->setObjectName(QStringLiteral("CoolBar1"));
    auto* tools = new QHBoxLayout(toolbar);
    tools->setContentsMargins(4, 2, 4, 2);
    tools->setSpacing(2);
    btnNew = makeToolButton(toolbar, "btnNew", Icons::NewPost, QStringLiteral("新建帖子"));
    btnSave = makeToolButton(toolbar, "btnSave", Icons::Save, QStringLiteral("保存当前帖子"));
    btnDel = makeToolButton(toolbar, "btnDel", Icons::Delete, QStringLiteral("删除当前贴子"));
    btnConfig = makeToolButton(toolbar, "btnConfig", Icons::Settings, QStringLiteral("参数设置"));
    btnAbout = makeToolButton(toolbar, "btnAbout", Icons::About, QStringLiteral("关于软件"));
    btnHelp = makeToolButton(toolbar, "btnHelp", Icons::Help, QStringLiteral("查看使用帮助"));
    btnPostData = makeToolButton(toolbar, "btnPostData", Icons::Send,
                                 QStringLiteral("发贴到我的论坛"), QStringLiteral("远程提交"));
    for (QToolButton* b : {btnNew, btnSave, btnDel})
        tools->addWidget(b);
    tools->addSpacing(8);
    for (QToolButton* b : {btnConfig, btnAbout, btnHelp})
        tools->addWidget(b);
    tools->addStretch(1);
    tools->addWidget(btnPostData);
    root->addWidget(toolbar);

    auto* body = new QHBoxLayout();
    m_bodyLayout = body;
    body->setContentsMargins(4, 2, 4, 2);
    body->setSpacing(4);

    // Editor on the left.
    auto* editor = new QVBoxLayout();
    m_editorColumn = editor;
    editor->setSpacing(3);
    auto* titleRow = new QHBoxLayout();
    auto* titleLabel = new QLabel(QStringLiteral("标题："), this);
    titleRow->addWidget(titleLabel);
    edtTitle = new QLineEdit(this);
    edtTitle->setObjectName(QStringLiteral("edtTitle"));
    titleLabel->setBuddy(edtTitle);
    titleRow->addWidget(edtTitle, 1);
    // Shown while the title or the content hold text that is not stored.
    lblUnsaved = new QLabel(QStringLiteral("未保存"), this);
    lblUnsaved->setObjectName(QStringLiteral("lblUnsaved"));
    lblUnsaved->setToolTip(QStringLiteral("当前帖子尚未保存"));
    lblUnsaved->setStyleSheet(QStringLiteral("color: #c00000;"));
    lblUnsaved->hide();
    titleRow->addWidget(lblUnsaved);
    editor->addLayout(titleRow);

    auto* contentRow = new QHBoxLayout();
    contentRow->setSpacing(1);
    auto* contentLabel = new QLabel(QStringLiteral("内容"), this);
    contentRow->addWidget(contentLabel);
    contentRow->addStretch(1);
    const struct {
        const char* name;
        const char* icon;
        const char* hint;
    } inserts[] = {{"btnUrl", Icons::InsertLink, "插入链接"},
                   {"btnImg", Icons::InsertImage, "插入图片"},
                   {"btnFlash", Icons::InsertFlash, "插入Flash动画"},
                   {"btnRm", Icons::InsertRm, "插入Real Player视频"},
                   {"btnMp", Icons::InsertMp, "插入Media Player视频"},
                   {"SpeedButton1", Icons::Preview, "在浏览器中预览帖子"}};
    for (const auto& b : inserts) {
        auto* button = makeToolButton(this, b.name, b.icon, QString::fromUtf8(b.hint));
        button->setIconSize(QSize(16, 16));
        button->setFixedSize(22, 20);
        contentRow->addWidget(button);
    }
    editor->addLayout(contentRow);
    meoContent = new QPlainTextEdit(this);
    meoContent->setObjectName(QStringLiteral("meoContent"));
    contentLabel->setBuddy(meoContent);
    editor->addWidget(meoContent, 1);
    body->addLayout(editor, 1);

    // Category lists on the right.
    auto* lists = new QVBoxLayout();
    lists->setSpacing(1);
    BitBtn1 = makeToolButton(this, "BitBtn1", Icons::Dock, QStringLiteral("窗体停靠模式"));
    BitBtn1->setIconSize(QSize(12, 12));
    BitBtn1->setFixedSize(16, 16);
    lists->addWidget(BitBtn1, 0, Qt::AlignRight);
    mPage = new QTabWidget(this);
    mPage->setObjectName(QStringLiteral("mPage"));
    mPage->setUsesScrollButtons(false);
    mPage->setDocumentMode(false);
    mPage->setFixedWidth(155);
    const QIcon glyph = icon(Icons::Row);
    const QFont font = editorFont();
    for (int k = 0; k < kCategories; ++k) {
        auto* sheet = new QWidget(mPage);
        sheet->setObjectName(QStringLiteral("TabSheet%1").arg(k + 1));
        auto* layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* list = new QListView(sheet);
        list->setObjectName(QStringLiteral("lbx%1").arg(k));
        list->setUniformItemSizes(true);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->setItemDelegate(new PostRowDelegate(glyph, list));
        list->setFont(font);
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        if (Skin::listBase().isValid()) { // a high-contrast desktop keeps its own
            QPalette pal = list->palette();
            pal.setColor(QPalette::Base, Skin::listBase());
            list->setPalette(pal);
        }
        layout->addWidget(list);
        mPage->addTab(sheet, QStringLiteral("Tab%1").arg(k + 1));
        m_tabSheets[k] = sheet;
        m_lists[k] = list;
        connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint& pos) {
            PopMenuList->popup(list->viewport()->mapToGlobal(pos));
        });
    }
    m_tabHeader = new MultiRowTabHeader(mPage, this);
    m_tabHeader->setFixedWidth(155);
    lists->addWidget(m_tabHeader);
    lists->addWidget(mPage, 1);
    body->addLayout(lists);
    root->addLayout(body, 1);

    for (QWidget* w : {static_cast<QWidget*>(edtTitle), static_cast<QWidget*>(meoContent)}) {
        w->setFont(font);
        if (!Skin::editorBase().isValid())
            continue;
        QPalette pal = w->palette();
        pal.setColor(QPalette::Base, Skin::editorBase());
        w->setPalette(pal);
    }

    MyStatusBar = new QStatusBar(this);
    MyStatusBar->setObjectName(QStringLiteral("MyStatusBar"));
    MyStatusBar->setSizeGripEnabled(false);
    for (int i = 0; i < 2; ++i) {
        auto* panel = new QLabel(MyStatusBar);
        panel->setObjectName(QStringLiteral("MyStatusBarPanel%1").arg(i));
        // The second panel takes the rest of the width for network outcomes.
        if (i == 0)
            panel->setFixedWidth(50);
        MyStatusBar->addWidget(panel, i == 0 ? 0 : 1);
        m_statusPanels[i] = panel;
    }
    root->addWidget(MyStatusBar);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(300);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(1000);

    buildListMenu();

    connect(btnNew, &QToolButton::clicked, this, &TFrmMain::NewPost);
    connect(btnSave, &QToolButton::clicked, this, &TFrmMain::SavePostCommand);
    connect(edtTitle, &QLineEdit::textChanged, this, &TFrmMain::updateEditorStatus);
    connect(meoContent, &QPlainTextEdit::textChanged, this, &TFrmMain::updateEditorStatus);
    connect(btnDel, &QToolButton::clicked, this, &TFrmMain::DeletePost);
    connect(btnConfig, &QToolButton::clicked, this, &TFrmMain::openSettings);
}

void TFrmMain::buildListMenu() {
    PopMenuList = new QMenu(this);
    PopMenuList->setObjectName(QStringLiteral("PopMenuList"));
    const struct {
        const char* name;
        const char* caption;
    } items[] = {{"N_DeletePost", "删除此贴..."}, {"N_DeleteAll", "删除全部..."},
                 {"N_FindPost", "查找帖子"},      {"N_MovePost", "转移帖子到..."},
                 {"N_Export", "导出数据..."},     {"N_Import", "导入数据..."},
                 {"N_CustomExport", "自定义导出"}};
    for (const auto& item : items) {
        QAction* action = PopMenuList->addAction(QString::fromUtf8(item.caption));
        action->setObjectName(QString::fromLatin1(item.name));
    }
    const QList<QAction*> actions = PopMenuList->actions();
    connect(actions[0], &QAction::triggered, this, &TFrmMain::DeletePost);
    connect(actions[1], &QAction::triggered, this, &TFrmMain::DeleteAllPosts);
    connect(actions[2], &QAction::triggered, this, &TFrmMain::FindPost);
    connect(actions[3], &QAction::triggered, this, &TFrmMain::MovePost);
    PopMenuList->insertSeparator(actions[4]);
    connect(actions[4], &QAction::triggered, this, &TFrmMain::ExportData);
    connect(actions[5], &QAction::triggered, this, &TFrmMain::ImportData);
    connect(actions[6], &QAction::triggered, this, &TFrmMain::CustomExport);
}

void TFrmMain::createDialogs() {
    // Created once, in this order, and reused for every opening.
    m_frmConfig = new TFrmConfig(m_programDir, this);
    m_frmInsertUBB = new TFrmInsertUBB(this);
    new TfrmAbout(this);
    m_frmPicList = new TFormPicList(this);
    m_frmPicList->setInsertCallback(
        [this](const QByteArray& address) { InsertImageAddress(meoContent, address, m_settings); });
    m_frmSearchReplace = new TfrmSearchReplace(this);
    m_frmSearchSubject = new TFrmSearchSubject(this);
    m_frmTrans = new Tfrmtrans(this);
    m_frmDownfile = new TFrmDownfile(iniPath(), this);
    m_frmExportData = new Tfrmexportdata(m_programDir, this);
    installMarkupTools();
    wireDownloadMenu();
    keepFieldsSingleLine();
    Accessibility::nameControls(this);
}

void TFrmMain::openSettings() {
    const bool accepted = m_frmConfig->exec() == QDialog::Accepted;
    if (accepted)
        reloadSettings();
    // The category page writes each change at once, so the tabs follow
    // config.ini however the dialog closed.
    applyTabCaptions();
}

void TFrmMain::showAtStartUp() {
    // Starting hidden needs the tray icon to reach the window again; without
    // a notification area the window is shown, or it could never be reached.
    if (m_trayAvailable)
        CoolTrayIcon1->show();
    if (!m_settings.RunMini || !m_trayAvailable)
        ShowMainWindow();
    Timer1->start();
    // Without a paint (started hidden) the other categories are read now;
    // a shown window starts their reading after its first paint.
    QTimer::singleShot(isVisible() ? 1000 : 0, this, &TFrmMain::loadRemainingCategories);
    // Benchmarks and end-to-end tests wait for this line.
    if (qEnvironmentVariableIsSet("VELLUM_BENCH"))
        QTimer::singleShot(0, this, [] {
            std::fprintf(stderr, "vellum: window shown (pid %lld)\n",
                         static_cast<long long>(QCoreApplication::applicationPid()));
            std::fflush(stderr);
        });
}

void TFrmMain::LoadTabCaptions() {
    const IniFile ini(Paths::programDir() + QStringLiteral("config.ini"));
    for (int n = 0; n < kCategories; ++n) {
        const QByteArray key = "tab" + QByteArray::number(n);
        m_tabCaptions[n] = AnsiCodePage::toUnicode(ini.readString("TabClass", key));
        if (!m_tabCaptions[n].isEmpty())
            mPage->setTabText(n, m_tabCaptions[n]);
        mPage->setTabVisible(n, !m_tabCaptions[n].isEmpty());
    }
    m_tabHeader->sync();
}

void TFrmMain::applyTabCaptions() {
    const int before = activeCategory();
    ++m_programmaticPage;
    LoadTabCaptions();
    for (int k = 0; k < kCategories; ++k)
        m_store->setCategoryName(k, m_tabCaptions[k]);
    if (!tabVisible(before)) {
        // The active category lost its name: the first one left comes to the
        // front; unsaved text stays in the editor as a new post there.
        for (int k = 0; k < kCategories; ++k)
            if (tabVisible(k)) {
                mPage->setCurrentIndex(k);
                break;
            }
        if (editorUnsaved()) {
            m_editor.setModeName(QStringLiteral("ADD"));
        } else {
            edtTitle->clear();
            meoContent->clear();
            m_editor.clear();
            LoadSelectedPost();
        }
    }
    m_shownPage = mPage->currentIndex();
    --m_programmaticPage;
    m_tabHeader->sync();
    updateEditorStatus();
}

void TFrmMain::showPendingErrors() {
    const QStringList errors = std::exchange(m_pendingErrors, {});
    for (const QString& message : errors)
        MessageBoxes::error(this, message);
}

void TFrmMain::reloadSettings() {
    LoadSettings(m_settings, iniPath());
}

void TFrmMain::closeSequence(bool interactive) {
    // A close already waits on the user's answer to a failed save; at the end
    // of the session nobody will answer, so that close writes the rescue
    // folder and ends the program instead.
    if (m_closed && !interactive && SaveFailureBox::endSession())
        return;
    if (m_closed)
        return;
    m_closed = true;
    const bool autoHide = Timer2->isActive();
    Timer1->stop();
    Timer2->stop();
    QElapsedTimer timer;
    timer.start();
    if (!m_closingSave->saveAtClose(interactive)) {
        // The user keeps the program running; every change is still here.
        m_closed = false;
        Timer1->start();
        if (autoHide)
            Timer2->start();
        return;
    }
    if (qEnvironmentVariableIsSet("VELLUM_BENCH"))
        std::fprintf(stderr, "vellum: categories saved in %lld ms\n",
                     static_cast<long long>(timer.elapsed()));
    try {
        writeWindowState();
    } catch (const VellumError& e) {
        std::fprintf(stderr, "vellum: %s\n", e.message().toLocal8Bit().constData());
        if (interactive)
            MessageBoxes::error(this, e.message());
    }
    emit closed();
}

bool TFrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        for (int k = 0; k < kCategories; ++k)
            if (watched == m_lists[k]->viewport())
                m_rowAtPress = selectedRow(k);
    }
    return QWidget::eventFilter(watched, event);
}

void TFrmMain::closeEvent(QCloseEvent* event) {
    if (!m_closed && !m_unsavedQuestion->settle(EditorState::Action::Close)) {
        event->ignore();
        return;
    }
    closeSequence(true);
    if (m_closed)
        event->accept();
    else
        event->ignore();
}
