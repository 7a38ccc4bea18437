#pragma once
// The main window: owns the post store, the six category lists, the editor and
// the settings mirror, and runs the start-up and close sequences.
#include "app/DeletionUndo.h"
#include "app/EditorState.h"
#include "app/UnsavedQuestion.h"
#include "settings/SettingsMirror.h"
#include "store/TDateMan.h"

#include <QByteArray>
#include <QMargins>
#include <QPoint>
#include <QStringList>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

class CaptureChannel;
class ClosingSave;
class CaptionBand;
class OutsideChangeFollower;
class BackgroundSaver;
class CapturePoll;
class CategoryListModel;
class MagneticDock;
class MainCaptureHost;
class MemoMenu;
class QAction;
class QBoxLayout;
class QItemSelection;
class QLabel;
class QLayout;
class QLineEdit;
class QListView;
class QMenu;
class QPlainTextEdit;
class QStatusBar;
class QSystemTrayIcon;
class QTabWidget;
class QTimer;
class QToolButton;
class NextPostChannel;
class PreviewRunner;
class TopEdgeSlide;
class SharedTextBlock;
class MultiRowTabHeader;
class TDateMan;
class ToastPopup;
class TFrmConfig;
class TFrmInsertUBB;
class TfrmSearchReplace;
class TFrmSearchSubject;
class TFormPicList;
class Tfrmexportdata;
class TFrmDownfile;
class RemoteSubmitter;
class Tfrmtrans;
enum class TagKind;
class TrayMenu;
class WindowForms;

class TFrmMain : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kCategories = 6;
    static constexpr int kClientWidth = 492;
    static constexpr int kClientHeight = 379;

    explicit TFrmMain(QWidget* parent = nullptr);
    ~TFrmMain() override;

    // Entry step 3: the other windows, each created once, in their order.
    void createDialogs();
    // Shows the window unless it starts hidden.
    void showAtStartUp();

    // Closing: write the six categories in order, then the window state. Runs
    // once; later calls do nothing. interactive=false reports errors on
    // standard error only (a signal or the end of the session).
    void closeSequence(bool interactive);
    // Writes every category that was read at start (the end of the session);
    // without interaction, what cannot be saved goes to the rescue folder.
    void saveAllCategories(bool interactive);
    // The program's exit status: non-zero when a save at close failed.
    int exitStatus() const;

    // --- Post list and editor -------------------------------------------
    int activeCategory() const;
    int selectedRow(int category) const;
    void selectRow(int category, int row);
    void RefreshCategoryList(int k);
    // Start-up loads the active category before the window shows and the
    // others right after its first paint. Whatever needs a category first
    // makes sure it is loaded (waiting for its read); false when its file
    // could not be read faithfully (the problem has been shown).
    bool ensureCategoryLoaded(int k);
    void LoadSelectedPost();
    void NewPost();
    // Save: checks the fields, then stores the post. True when it was stored;
    // a refusal has been shown.
    bool SavePostCommand();
    // Stores the editor's post: replaces the stored post it shows, or adds it
    // as a new last row; the saved row is then selected, in mode "EDIT".
    // Returns false when it refused (a title holding the post separator, or
    // no category to store into); the refusal has been shown.
    bool SavePost(const QString& title, const QString& content);
    void DeletePost();
    void DeleteAllPosts();
    void FindPost();
    void MovePost();
    void SelectNextPost();
    void onNextPostMessage(int wparam);
    // "撤销删除": the last deleted post, or the posts of the last "删除全部...",
    // back where they were.
    void UndoDeletion();

    // --- Data exchange of the active category -----------------------------
    void ExportData();
    void ImportData();
    void CustomExport();

    // --- Editor state, shared with the capture poll ------------------------
    QString editorMode() const { return m_editor.modeName(); }
    void setEditorMode(const QString& mode);
    bool capturedTitle() const { return m_editor.capturedTitle(); }
    void setCapturedTitle(bool on) { m_editor.setCapturedTitle(on); }
    // The title or the content differ from the stored post shown, or hold
    // text of a post not stored yet.
    bool editorUnsaved() const;
    bool contentUnsaved() const;
    qsizetype contentLength() const;
    QString statusText() const;
    void setStatusText(const QString& text);
    // Status bar panel 1: the outcome of the last command.
    void showNote(const QString& text);
    QString titleText() const;
    // Sets the title field; each line break becomes one blank.
    void setTitleText(const QString& text);
    // The memo's text with CR LF between lines, as posts store it.
    QString contentText() const;
    void setContentText(const QString& text);
    void PublishPost(const QString& title, const QString& content);
    // PublishPost without the clipboard.
    void publishToBlock(const QString& title, const QString& content);

    TSettingsMirror& settings() { return m_settings; }
    const TSettingsMirror& settings() const { return m_settings; }
    const QString& programDir() const { return m_programDir; }
    TDateMan& store() { return *m_store; }
    // Commands that reach the program by another road than the clipboard
    // are queued here.
    CapturePoll& capturePoll() { return *m_capturePoll; }
    QString tabCaption(int k) const { return m_tabCaptions[k]; }
    bool tabVisible(int k) const { return !m_tabCaptions[k].isEmpty(); }
    // Rereads the settings mirror from config.ini.
    void reloadSettings();
    // The settings dialog; the mirror is reread after OK.
    void openSettings();

    // --- Markup tools (FrmMainMarkup.cpp) ----------------------------------
    // Appends the UBB tag of the kind built from the insertion dialog's texts.
    void InsertUbbTag(TagKind kind);
    // Previews the post in the desktop's browser; the page is converted on a
    // worker and opened when it is ready.
    void SpeedButton1Click();
    PreviewRunner* previewRunner() const { return m_previewRunner; }
    // --- Network ------------------------------------------------------------
    // "远程提交": sends the post in the editor to the address of the settings.
    void PostData();
    // "下载所有图片": the image addresses of the content, in the download dialog.
    void DownloadAllImages();
    TFrmDownfile* downloadDialog() const { return m_frmDownfile; }
    // --- Window behaviour: two forms, auto-hide, tray, about box --------------
    // Brings the window back from any state (hidden in the tray, minimised,
    // slid up) and to the front; the first showing comes up in the form that
    // WinState remembers. The tray click, "显示主界面" and a second start use it.
    void ShowMainWindow();
    void bringToFront() { ShowMainWindow(); }
    // The switch BitBtn1 between the wide and the narrow form.
    void ToggleDockMode();
    // Timer2: slides a narrow window at the top edge up once the cursor left.
    void AutoHideTick();
    // The cursor over the status bar brings a slid-up window back.
    void RevealDocked();
    void showAbout();
    // The narrow form's minimise button: to the tray where there is one.
    void minimise();
    bool isNarrow() const;
    bool isDockingActive() const;
    // The WinState that closing writes.
    int winStateAtClose() const;
    // At close: the form (WinState) and the place (WinLeft, WinTop).
    void writeWindowState();

  signals:
    // The close sequence has run; the program should end.
    void closed();
    // A post was stored by SavePost; the toast shows the notice.
    void postSaved();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    friend class MainCaptureHost;
    friend class OutsideChangeFollower;
    void buildLayout();
    // The editor and list behaviour of a desktop program: focus order, a
    // selection that a click cannot empty, the undo of a deletion.
    void setupEditorBehaviour();
    void keepListSelection(int category, const QItemSelection& deselected);
    // Every single-line field of the window and its dialogs drops pasted line
    // breaks; the title keeps its own rule (a break becomes a blank).
    void keepFieldsSingleLine();
    // Answers a second start of the program by bringing the window forward.
    void listenForShowRequests();
    void buildListMenu();
    void LoadTabCaptions();
    // Keeping posts safe (FrmMainSafety.cpp).
    void openStore(const QString& dataDir);
    void loadRemainingCategories();
    void onListSelectionChanged(int category, const QItemSelection& deselected);
    void onPageChanged(int index);
    // The page change itself, once the editor may be emptied.
    void showPage(int index);
    // The row where the post the editor shows stands now, if it still does.
    std::optional<int> rowOfShownPost() const;
    // Status bar panel 0 and the unsaved mark follow the editor.
    void updateEditorStatus();
    // The categories' names from config.ini into the tabs (at start and after
    // the settings dialog).
    void applyTabCaptions();
    void installShortcuts();
    // The list menu's commands that need a row or a post are enabled only then.
    void updateListCommands();

    void showPendingErrors();
    // The browser bridge (FrmMainBrowser.cpp).
    void RegisterBrowserHost();
    void listenForBrowserCommands();
    void installMarkupTools();
    void setupNetwork();
    void SendUsageCount();
    void wireDownloadMenu();
    void cancelTransfers();
    QString iniPath() const { return m_programDir + QStringLiteral("config.ini"); }
    void createTrayIcon();
    void setupWindowBehaviour();
    bool autoHideUsable() const;
    void setForm(int width);
    void applyStoredForm();
    bool raiseOpenDialog();

    QString m_programDir;
    std::unique_ptr<TDateMan> m_store;
    std::unique_ptr<SharedTextBlock> m_sharedBlock;
    NextPostChannel* m_nextPostChannel = nullptr;
    std::unique_ptr<MainCaptureHost> m_captureHost;
    std::unique_ptr<CapturePoll> m_capturePoll;
    CaptureChannel* m_captureChannel = nullptr;
    TSettingsMirror m_settings;
    EditorState m_editor;
    // Every command that would replace unsaved text asks through it.
    UnsavedQuestion* m_unsavedQuestion = nullptr;
    int m_programmaticPage = 0;
    int m_shownPage = 0;
    std::array<QString, kCategories> m_tabCaptions;
    BackgroundSaver* m_saver = nullptr;
    OutsideChangeFollower* m_outsideChanges = nullptr;
    std::unique_ptr<ClosingSave> m_closingSave;
    QStringList m_pendingErrors;
    bool m_closed = false;
    bool m_remainingLoadsStarted = false;
    int m_programmaticSelection = 0;
    int m_rowAtPress = -1;

    std::array<QWidget*, kCategories> m_tabSheets{};
    std::array<QListView*, kCategories> m_lists{};
    std::array<CategoryListModel*, kCategories> m_models{};

    QToolButton* btnNew = nullptr;
    QToolButton* btnSave = nullptr;
    QToolButton* btnDel = nullptr;
    QToolButton* btnConfig = nullptr;
    QToolButton* btnAbout = nullptr;
    QToolButton* btnHelp = nullptr;
    QToolButton* btnPostData = nullptr;
    QLineEdit* edtTitle = nullptr;
    QLabel* lblUnsaved = nullptr;
    QPlainTextEdit* meoContent = nullptr;
    QTabWidget* mPage = nullptr;
    MultiRowTabHeader* m_tabHeader = nullptr;
    QToolButton* BitBtn1 = nullptr;
    QStatusBar* MyStatusBar = nullptr;
    std::array<QLabel*, 2> m_statusPanels{};
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QMenu* PopMenuList = nullptr;
    QAction* N_UndoDelete = nullptr;
    DeletionUndo m_deletionUndo;
    ToastPopup* MSNPopUp1 = nullptr;
    QSystemTrayIcon* CoolTrayIcon1 = nullptr;
    TrayMenu* PopupMenu = nullptr;
    MagneticDock* Magnetic1 = nullptr;
    CaptionBand* m_captionBand = nullptr;
    TopEdgeSlide* m_slide = nullptr;
    QWidget* m_toolbar = nullptr;
    QLayout* m_editorColumn = nullptr;
    QBoxLayout* m_bodyLayout = nullptr;
    std::unique_ptr<WindowForms> m_forms;
    QString m_programTitle;
    bool m_trayAvailable = false;
    bool m_everShown = false;
    bool m_storedFormApplied = false;

    TFrmConfig* m_frmConfig = nullptr;
    TFrmSearchSubject* m_frmSearchSubject = nullptr;
    Tfrmtrans* m_frmTrans = nullptr;
    TFormPicList* m_frmPicList = nullptr;
    TFrmInsertUBB* m_frmInsertUBB = nullptr;
    TfrmSearchReplace* m_frmSearchReplace = nullptr;
    MemoMenu* PopupMenuMemo = nullptr;
    PreviewRunner* m_previewRunner = nullptr;
    Tfrmexportdata* m_frmExportData = nullptr;
    TFrmDownfile* m_frmDownfile = nullptr;
    RemoteSubmitter* m_submitter = nullptr;
};
