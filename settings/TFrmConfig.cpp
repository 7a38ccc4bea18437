#include "settings/TFrmConfig.h"

#include "platform/AnsiCodePage.h"
#include "platform/Autostart.h"
#include "platform/ErrorReporter.h"
#include "platform/KeyStore.h"
#include "platform/SingleLineEdit.h"
#include "settings/CategoryNames.h"
#include "settings/IniFile.h"
#include "settings/QuickNotes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <exception>
#include <functional>
#include <optional>

namespace {
// Runs an action for the given keys instead of passing them on.
class KeyAction : public QObject {
  public:
    KeyAction(QList<int> keys, std::function<void()> action, QObject* parent)
        : QObject(parent), m_keys(std::move(keys)), m_action(std::move(action)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress &&
            m_keys.contains(static_cast<QKeyEvent*>(event)->key())) {
            m_action();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QList<int> m_keys;
    std::function<void()> m_action;
};

constexpr int kSlotRole = Qt::UserRole;

template <typename T> T* named(T* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLabel* note(const QString& text, QWidget* parent = nullptr) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QString fromIni(const QByteArray& bytes) {
    return AnsiCodePage::toUnicode(bytes);
}
QByteArray toIni(const QString& text) {
    return AnsiCodePage::fromUnicode(text);
}

void tighten(QLayout* layout) {
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(4);
}

} // namespace

TFrmConfig::TFrmConfig(const QString& programDir, QWidget* parent)
    : QDialog(parent), m_programDir(programDir) {
    if (!m_programDir.isEmpty() && !m_programDir.endsWith(QLatin1Char('/')))
        m_programDir += QLatin1Char('/');
    setObjectName(QStringLiteral("FrmConfig"));
    buildUi();
    // Every single-line field, the category name and the addresses included.
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        KeepSingleLine(edit);
    LoadDialogSettings();
    LoadQuickNotes();
}

void TFrmConfig::buildUi() {
    setWindowTitle(QStringLiteral("参数设置"));
    // Fixed border, close box only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(433, 260);
    setSizeGripEnabled(false);

    PageConfig = named(new QTabWidget(this), "PageConfig");
    PageConfig->setUsesScrollButtons(false);
    // Seven pages share 433 pixels: narrow tabs keep every caption in view.
    PageConfig->tabBar()->setExpanding(false);
    PageConfig->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 4px 4px; min-width: 0px; }"));
    PageConfig->setDocumentMode(false);
    PageConfig->addTab(buildTabBase(), QStringLiteral("基本设置"));
    PageConfig->addTab(buildTabGetSet(), QStringLiteral("获取设置"));
    PageConfig->addTab(buildTabSet(), QStringLiteral("发贴设置"));
    PageConfig->addTab(buildTabQuick(), QStringLiteral("快速回帖"));
    PageConfig->addTab(buildTabTab(), QStringLiteral("帖子分类"));
    PageConfig->addTab(buildTabUbb(), QStringLiteral("UBB语法"));
    PageConfig->addTab(buildTabPostData(), QStringLiteral("远程提交"));
    PageConfig->setCurrentIndex(0);

    BtnOK = named(new QPushButton(QStringLiteral("确 定"), this), "BtnOK");
    BtnCancel = named(new QPushButton(QStringLiteral("取 消"), this), "BtnCancel");
    BtnOK->setDefault(true);
    BtnOK->setFixedWidth(75);
    BtnCancel->setFixedWidth(75);
    connect(BtnOK, &QPushButton::clicked, this, &TFrmConfig::BtnOKClick);
    connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BtnOK);
    buttons->addSpacing(6);
    buttons->addWidget(BtnCancel);

    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(6, 6, 6, 6);
    main->setSpacing(6);
    main->addWidget(PageConfig, 1);
    main->addLayout(buttons);
}

QWidget* TFrmConfig::buildTabBase() {
    auto* page = named(new QWidget, "TabBase");
    auto* window = new QGroupBox(QStringLiteral("窗体设置"), page);
    CbxStayOnTop = named(new QCheckBox(QStringLiteral("窗口总在最前面"), window), "CbxStayOnTop");
    CbxRetoreMainWin =
        named(new QCheckBox(QStringLiteral("提取内容时唤起主界面"), window), "CbxRetoreMainWin");
    CbxAutoHide = named(new QCheckBox(QStringLiteral("窗体停靠与自动隐藏"), window), "CbxAutoHide");
    auto* wl = new QVBoxLayout(window);
    tighten(wl);
    wl->addWidget(CbxStayOnTop);
    wl->addWidget(CbxRetoreMainWin);
    wl->addWidget(CbxAutoHide);

    auto* start = new QGroupBox(QStringLiteral("启动选项"), page);
    CbxRunMini = named(new QCheckBox(QStringLiteral("启动时最小化"), start), "CbxRunMini");
    CbxAutoRun = named(new QCheckBox(QStringLiteral("登录时自动启动"), start), "CbxAutoRun");
    auto* sl = new QVBoxLayout(start);
    tighten(sl);
    sl->addWidget(CbxRunMini);
    sl->addWidget(CbxAutoRun);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addWidget(window);
    layout->addWidget(start);
    layout->addStretch(1);
    return page;
}

QWidget* TFrmConfig::buildTabGetSet() {
    auto* page = named(new QWidget, "TabGetSet");
    auto* capture = new QGroupBox(page);
    CbxClearContentOnGetTitle =
        named(new QCheckBox(QStringLiteral("获取新标题时清空内容区"), capture),
              "CbxClearContentOnGetTitle");
    CbxAutoSave =
        named(new QCheckBox(QStringLiteral("获取帖子后自动保存"), capture), "CbxAutoSave");
    CbxSoundOnSucc =
        named(new QCheckBox(QStringLiteral("获取内容成功后发出提示音"), capture), "CbxSoundOnSucc");
    auto* cl = new QVBoxLayout(capture);
    tighten(cl);
    cl->addWidget(CbxClearContentOnGetTitle);
    cl->addWidget(CbxAutoSave);
    cl->addWidget(CbxSoundOnSucc);

    auto* convert = new QGroupBox(QStringLiteral("图片与链接自动转换"), page);
    CbxNoConvert =
        named(new QCheckBox(QStringLiteral("不启用链接自动转换功能"), convert), "CbxNoConvert");
    RabConvert2UBB =
        named(new QRadioButton(QStringLiteral("转换为UBB格式"), convert), "RabConvert2UBB");
    RabConvert2HTML =
        named(new QRadioButton(QStringLiteral("转换为HTML格式"), convert), "RabConvert2HTML");
    connect(CbxNoConvert, &QCheckBox::clicked, this, &TFrmConfig::CbxNoConvertClick);
    auto* radios = new QHBoxLayout;
    radios->addWidget(RabConvert2UBB);
    radios->addSpacing(16);
    radios->addWidget(RabConvert2HTML);
    radios->addStretch(1);
    auto* vl = new QVBoxLayout(convert);
    tighten(vl);
    vl->addWidget(CbxNoConvert);
    vl->addLayout(radios);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addWidget(capture);
    layout->addWidget(convert);
    layout->addStretch(1);
    return page;
}

QWidget* TFrmConfig::buildTabSet() {
    auto* page = named(new QWidget, "tabset");
    auto* handOff = new QGroupBox(QStringLiteral("选择待发贴时动作"), page);
    cbxsetClipBoard =
        named(new QCheckBox(QStringLiteral("复制帖子内容到剪贴板"), handOff), "cbxsetClipBoard");
    auto* hl = new QVBoxLayout(handOff);
    tighten(hl);
    hl->addWidget(cbxsetClipBoard);

    auto* after = new QGroupBox(QStringLiteral("发贴完成后的动作"), page);
    rabkeepsubject =
        named(new QRadioButton(QStringLiteral("保持当前主题"), after), "rabkeepsubject");
    rabnextsubject =
        named(new QRadioButton(QStringLiteral("跳到下一主题"), after), "rabnextsubject");
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(4);
    grid->addWidget(rabkeepsubject, 0, 0);
    grid->addWidget(note(QStringLiteral("(选定发贴专用)"), after), 0, 1);
    grid->addWidget(rabnextsubject, 1, 0);
    grid->addWidget(note(QStringLiteral("(连续发贴专用)"), after), 1, 1);
    grid->setColumnStretch(2, 1);
    auto* footnote = note(QStringLiteral("*设置帖子内容后即表示发贴完成。"), after);
    footnote->setProperty("tone", QStringLiteral("muted"));
    auto* al = new QVBoxLayout(after);
    tighten(al);
    al->addLayout(grid);
    al->addWidget(footnote);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addWidget(handOff);
    layout->addWidget(after);
    layout->addStretch(1);
    return page;
}

QWidget* TFrmConfig::buildTabQuick() {
    auto* page = named(new QWidget, "TabQuick");
    auto* notes = new QGroupBox(QStringLiteral("回复内容"), page);
    Meoquick = named(new QPlainTextEdit(notes), "Meoquick");
    Meoquick->setTabChangesFocus(true);
    CobQuick = named(new QComboBox(notes), "CobQuick");
    CobQuick->setEditable(false);
    CobQuick->setToolTip(QStringLiteral("回复内容编号"));
    btnQuickAdd = named(new QPushButton(QStringLiteral("增 加"), notes), "btnQuickAdd");
    BtnQuickDel = named(new QPushButton(QStringLiteral("删 除"), notes), "BtnQuickDel");
    for (QWidget* w : {static_cast<QWidget*>(CobQuick), static_cast<QWidget*>(btnQuickAdd),
                       static_cast<QWidget*>(BtnQuickDel)})
        w->setFixedWidth(72);
    connect(CobQuick, &QComboBox::currentIndexChanged, this, &TFrmConfig::CobQuickChange);
    connect(btnQuickAdd, &QPushButton::clicked, this, &TFrmConfig::btnQuickAddClick);
    connect(BtnQuickDel, &QPushButton::clicked, this, &TFrmConfig::BtnQuickDelClick);
    auto* side = new QVBoxLayout;
    side->setSpacing(4);
    side->addWidget(CobQuick);
    side->addWidget(btnQuickAdd);
    side->addWidget(BtnQuickDel);
    side->addStretch(1);
    auto* nl = new QHBoxLayout(notes);
    tighten(nl);
    nl->addWidget(Meoquick, 1);
    nl->addLayout(side);

    auto* mode = new QGroupBox(QStringLiteral("回复方式"), page);
    rabrandom = named(new QRadioButton(QStringLiteral("随机回复"), mode), "rabrandom");
    rabselected = named(new QRadioButton(QStringLiteral("选择回复"), mode), "rabselected");
    auto* ml = new QHBoxLayout(mode);
    tighten(ml);
    ml->addWidget(rabrandom);
    ml->addSpacing(24);
    ml->addWidget(rabselected);
    ml->addStretch(1);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addWidget(notes, 1);
    layout->addWidget(mode);
    return page;
}

QWidget* TFrmConfig::buildTabTab() {
    auto* page = named(new QWidget, "TabTab");
    auto* list = new QGroupBox(QStringLiteral("分类列表"), page);
    trvtabclass = named(new QTreeWidget(list), "trvtabclass");
    trvtabclass->setHeaderHidden(true);
    trvtabclass->setColumnCount(1);
    trvtabclass->setRootIsDecorated(false);
    trvtabclass->setSelectionMode(QAbstractItemView::SingleSelection);
    trvtabclass->setFixedWidth(170);
    connect(trvtabclass, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { trvtabclassClick(item); });

    edttabname = named(new QLineEdit(list), "edttabname");
    auto* nameLabel = note(QStringLiteral("分类名称"), list);
    nameLabel->setBuddy(edttabname);
    btnnewtab = named(new QPushButton(QStringLiteral("添加新分类"), list), "btnnewtab");
    btnedittab = named(new QPushButton(QStringLiteral("保存编辑"), list), "btnedittab");
    btndeltab = named(new QPushButton(QStringLiteral("删除分类"), list), "btndeltab");
    connect(btnnewtab, &QPushButton::clicked, this, &TFrmConfig::btnnewtabClick);
    connect(btnedittab, &QPushButton::clicked, this, &TFrmConfig::btnedittabClick);
    connect(btndeltab, &QPushButton::clicked, this, &TFrmConfig::btndeltabClick);

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(edttabname, 1);
    auto* side = new QVBoxLayout;
    side->setSpacing(4);
    side->addLayout(nameRow);
    side->addWidget(btnnewtab);
    side->addWidget(btnedittab);
    side->addWidget(btndeltab);
    side->addStretch(1);
    // Enter in the name field saves the edit, as the button beside it does,
    // instead of closing the dialog with the name left behind.
    edttabname->installEventFilter(new KeyAction(
        {Qt::Key_Return, Qt::Key_Enter}, [this] { btnedittabClick(); }, edttabname));

    auto* ll = new QHBoxLayout(list);
    tighten(ll);
    ll->addWidget(trvtabclass);
    ll->addSpacing(6);
    ll->addLayout(side, 1);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addWidget(list);
    return page;
}

QWidget* TFrmConfig::buildTabUbb() {
    auto* page = named(new QWidget, "TabUBB");
    struct Row {
        QLineEdit** edit;
        const char* name;
        QString hint;
        QString placeholders;
    };
    const QString sized = QStringLiteral("$1-宽，$2-高，$3-链接地址");
    const Row rows[] = {
        {&EdtUrl, "EdtUrl", QStringLiteral("链接标签"), QStringLiteral("$1-链接地址，$2-描述")},
        {&EdtImg, "EdtImg", QStringLiteral("图片标签"), QString()},
        {&EdtFlash, "EdtFlash", QStringLiteral("Flash动画标签"), sized},
        {&EdtRm, "EdtRm", QStringLiteral("Real Player视频标签"), QString()},
        {&EdtMp, "EdtMp", QStringLiteral("Media Player视频标签"), QString()},
    };
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    int r = 0;
    for (const Row& row : rows) {
        auto* edit = named(new QLineEdit(page), row.name);
        edit->setToolTip(row.hint);
        edit->setPlaceholderText(row.hint);
        *row.edit = edit;
        // The hint as a visible label too, read with the field.
        auto* caption = note(row.hint, page);
        caption->setBuddy(edit);
        grid->addWidget(caption, r, 0);
        grid->addWidget(edit, r, 1);
        ++r;
        // The placeholders go under their field, which keeps its width.
        if (!row.placeholders.isEmpty()) {
            auto* label = note(row.placeholders, page);
            label->setProperty("tone", QStringLiteral("muted"));
            grid->addWidget(label, r++, 1);
        }
    }
    grid->setColumnStretch(1, 1);

    auto* advice = note(QStringLiteral("此处设置将直接影响内容转换结果，建议使用默认值。"), page);
    advice->setProperty("tone", QStringLiteral("warning"));
    btndefubb = named(new QPushButton(QStringLiteral("恢复默认值"), page), "btndefubb");
    btndefubb->setAutoDefault(false);
    connect(btndefubb, &QPushButton::clicked, this, &TFrmConfig::btndefubbClick);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(advice, 1);
    bottom->addWidget(btndefubb);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(4);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addLayout(bottom);
    return page;
}

QWidget* TFrmConfig::buildTabPostData() {
    auto* page = named(new QWidget, "TabPostData");
    edtposturl = named(new QLineEdit(page), "edtposturl");
    auto* urlLabel = note(QStringLiteral("接受帖子数据的网上脚本文件地址：(ASP,JSP,PHP等)"), page);
    urlLabel->setBuddy(edtposturl);
    auto* urlRow = new QHBoxLayout;
    urlRow->addWidget(edtposturl, 1);
    urlRow->addWidget(note(QStringLiteral("(http开头)"), page));

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(2);
    layout->addWidget(urlLabel);
    layout->addLayout(urlRow);
    layout->addSpacing(4);
    layout->addWidget(
        note(QStringLiteral("Vellum会通过HTTP的POST方式向该文件传递三个参数："), page));
    // The parameter list lines up in a fixed-pitch font, as it is spaced.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (const QString& line :
         {QStringLiteral("subject  - 帖子标题"), QStringLiteral("content  - 帖子内容"),
          QStringLiteral("class    - 帖子分类")}) {
        auto* label = note(line, page);
        label->setFont(fixed);
        label->setContentsMargins(16, 0, 0, 0);
        layout->addWidget(label);
    }
    layout->addSpacing(4);
    auto* advice =
        note(QStringLiteral("该功能需要使用者编写简单的后台接收数据代码，推荐站长使用！"), page);
    advice->setProperty("tone", QStringLiteral("warning"));
    layout->addWidget(advice);
    layout->addStretch(1);
    return page;
}

void TFrmConfig::LoadDialogSettings() {
    const IniFile ini(iniPath());
    EdtUrl->setText(fromIni(ini.readString("UBBSet", "UBBUrl")));
    EdtImg->setText(fromIni(ini.readString("UBBSet", "UBBImg")));
    EdtFlash->setText(fromIni(ini.readString("UBBSet", "UBBFlash")));
    EdtRm->setText(fromIni(ini.readString("UBBSet", "UBBRm")));
    EdtMp->setText(fromIni(ini.readString("UBBSet", "UBBMp")));
    edtposturl->setText(fromIni(ini.readString("PostData", "URL")));

    // The dialog's defaults: unlike the main window's, AutoHide is on.
    CbxStayOnTop->setChecked(ini.readBool("Common", "StayOnTop", true));
    CbxRetoreMainWin->setChecked(ini.readBool("Common", "RetoreMainWin", true));
    CbxRunMini->setChecked(ini.readBool("Common", "RunMini", false));
    CbxAutoRun->setChecked(ini.readBool("Common", "AutoRun", false));
    CbxAutoHide->setChecked(ini.readBool("Common", "AutoHide", true));
    CbxClearContentOnGetTitle->setChecked(ini.readBool("Common", "ClearContentOnGetTitle", false));
    CbxSoundOnSucc->setChecked(ini.readBool("Common", "SoundOnSucc", false));
    CbxNoConvert->setChecked(ini.readBool("Common", "NoConvert", false));
    const bool toUbb = ini.readBool("Common", "Convert2UBB", true);
    CbxAutoSave->setChecked(ini.readBool("Common", "GetAutoSave", true));
    const bool keepSubject = ini.readBool("Common", "KeepSubject", true);
    const bool randomNote = ini.readBool("Common", "RandomNote", true);
    cbxsetClipBoard->setChecked(ini.readBool("Common", "SetClipBoard", false));

    trvtabclass->clear();
    for (const CategoryNames::Entry& entry : CategoryNames::readNamed(ini)) {
        auto* item = new QTreeWidgetItem(trvtabclass, QStringList{fromIni(entry.name)});
        item->setData(0, kSlotRole, entry.slot);
    }

    // Exactly one of each pair is checked.
    RabConvert2UBB->setChecked(toUbb);
    RabConvert2HTML->setChecked(!toUbb);
    rabkeepsubject->setChecked(keepSubject);
    rabnextsubject->setChecked(!keepSubject);
    rabrandom->setChecked(randomNote);
    rabselected->setChecked(!randomNote);

    RabConvert2UBB->setEnabled(!CbxNoConvert->isChecked());
    RabConvert2HTML->setEnabled(!CbxNoConvert->isChecked());

    // What the controls showed when they were filled; OK writes what differs.
    // A key the file does not hold yet is written at the first OK, so the
    // file says what the dialog shows.
    m_written.clear();
    for (const KeyValue& v : dialogValues())
        if (ini.valueExists(v.section, v.key))
            m_written.insert(v.section + '/' + v.key, v.value);
}

QList<TFrmConfig::KeyValue> TFrmConfig::dialogValues() const {
    const auto flag = [](bool on) { return on ? QByteArray("1") : QByteArray("0"); };
    return {
        {"UBBSet", "UBBUrl", toIni(EdtUrl->text())},
        {"UBBSet", "UBBImg", toIni(EdtImg->text())},
        {"UBBSet", "UBBFlash", toIni(EdtFlash->text())},
        {"UBBSet", "UBBRm", toIni(EdtRm->text())},
        {"UBBSet", "UBBMp", toIni(EdtMp->text())},
        {"PostData", "URL", toIni(edtposturl->text())},
        {"Common", "StayOnTop", flag(CbxStayOnTop->isChecked())},
        {"Common", "RunMini", flag(CbxRunMini->isChecked())},
        {"Common", "AutoRun", flag(CbxAutoRun->isChecked())},
        {"Common", "AutoHide", flag(CbxAutoHide->isChecked())},
        {"Common", "SoundOnSucc", flag(CbxSoundOnSucc->isChecked())},
        {"Common", "RetoreMainWin", flag(CbxRetoreMainWin->isChecked())},
        {"Common", "NoConvert", flag(CbxNoConvert->isChecked())},
        {"Common", "Convert2UBB", flag(RabConvert2UBB->isChecked())},
        {"Common", "ClearContentOnGetTitle", flag(CbxClearContentOnGetTitle->isChecked())},
        {"Common", "GetAutoSave", flag(CbxAutoSave->isChecked())},
        {"Common", "KeepSubject", flag(rabkeepsubject->isChecked())},
        {"Common", "RandomNote", flag(rabrandom->isChecked())},
        {"Common", "SetClipBoard", flag(cbxsetClipBoard->isChecked())},
    };
}

void TFrmConfig::SaveDialogSettings() {
    // Only the keys the user changed in the dialog are written: config.ini
    // may be shared with another machine through a sync tool, and a key
    // changed there survives an OK here that did not touch it.
    const IniFile ini(iniPath());
    for (const KeyValue& v : dialogValues()) {
        const QByteArray id = v.section + '/' + v.key;
        if (m_written.contains(id) && m_written.value(id) == v.value)
            continue;
        ini.writeString(v.section, v.key, v.value);
        m_written.insert(id, v.value);
    }
}

void TFrmConfig::SetAutoRun(bool on) {
    Autostart::setEnabled(on);
}

void TFrmConfig::SetConversionMode(int mode) {
    KeyStore::setDword(KeyStore::Hive::LocalMachine, QStringLiteral("Software\\Vellum"),
                       QStringLiteral("Convent"), static_cast<quint32>(mode));
}

void TFrmConfig::information(const QString& text) {
    QMessageBox::information(this, QStringLiteral("提示"), text);
}

void TFrmConfig::BtnOKClick() {
    const QString url = edtposturl->text();
    if (!url.isEmpty() && !url.toLower().startsWith(QLatin1String("http"))) {
        information(QStringLiteral("无效的网上文件地址!"));
        return;
    }
    // A failed write abandons the remaining steps, but the dialog still closes
    // with OK so that the owner re-reads whatever reached the file.
    try {
        SaveDialogSettings();
        SetAutoRun(CbxAutoRun->isChecked());
        const int mode = CbxNoConvert->isChecked() ? 0 : (RabConvert2UBB->isChecked() ? 1 : 2);
        SetConversionMode(mode);
    } catch (const std::exception& e) {
        ErrorReporter::report(e);
    }
    accept();
}

void TFrmConfig::btndefubbClick() {
    EdtUrl->setText(QStringLiteral("[url=$1]$2[/url]"));
    EdtImg->setText(QStringLiteral("[img]$1[/img]"));
    EdtFlash->setText(QStringLiteral("[flash=$1,$2]$3[/flash]"));
    EdtRm->setText(QStringLiteral("[rm=$1,$2]$3[/rm]"));
    EdtMp->setText(QStringLiteral("[wmv=$1,$2]$3[/wmv]"));
}

void TFrmConfig::CbxNoConvertClick() {
    const bool enabled = !CbxNoConvert->isChecked();
    RabConvert2UBB->setEnabled(enabled);
    RabConvert2HTML->setEnabled(enabled);
}

// Category page

QTreeWidgetItem* TFrmConfig::selectedCategory() const {
    const QList<QTreeWidgetItem*> selected = trvtabclass->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void TFrmConfig::trvtabclassClick(QTreeWidgetItem* item) {
    if (!item)
        item = selectedCategory();
    if (item)
        edttabname->setText(item->text(0));
}

int TFrmConfig::FindFreeSlot() const {
    return CategoryNames::findFreeSlot(IniFile(iniPath()));
}

void TFrmConfig::SaveCategoryNames() {
    QList<CategoryNames::Entry> entries;
    for (int i = 0; i < trvtabclass->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = trvtabclass->topLevelItem(i);
        entries.append(
            CategoryNames::Entry{item->data(0, kSlotRole).toInt(), toIni(item->text(0))});
    }
    CategoryNames::save(IniFile(iniPath()), entries);
}

void TFrmConfig::DeleteCategoryName(int slot) {
    CategoryNames::remove(IniFile(iniPath()), slot);
}

void TFrmConfig::btnnewtabClick() {
    const int slot = FindFreeSlot();
    if (slot < 0) {
        information(QStringLiteral("最多只能添加6个分类！"));
        return;
    }
    if (edttabname->text().isEmpty()) {
        information(QStringLiteral("分类需要一个名称！"));
        return;
    }
    // A node renamed to an empty name freed its slot; the new category takes
    // that slot over, so the old node must not go on writing or deleting it.
    for (int i = trvtabclass->topLevelItemCount() - 1; i >= 0; --i) {
        if (trvtabclass->topLevelItem(i)->data(0, kSlotRole).toInt() == slot)
            delete trvtabclass->takeTopLevelItem(i);
    }
    auto* item = new QTreeWidgetItem(trvtabclass, QStringList{edttabname->text()});
    item->setData(0, kSlotRole, slot);
    try {
        SaveCategoryNames();
    } catch (const std::exception& e) {
        ErrorReporter::report(e);
        return;
    }
    edttabname->clear();
}

void TFrmConfig::btnedittabClick() {
    QTreeWidgetItem* item = selectedCategory();
    if (!item)
        return;
    item->setText(0, edttabname->text());
    try {
        SaveCategoryNames();
    } catch (const std::exception& e) {
        ErrorReporter::report(e);
    }
}

void TFrmConfig::btndeltabClick() {
    if (trvtabclass->topLevelItemCount() <= 1) {
        information(QStringLiteral("至少保留一个分类！"));
        return;
    }
    QTreeWidgetItem* item = selectedCategory();
    if (!item)
        return;
    try {
        DeleteCategoryName(item->data(0, kSlotRole).toInt());
    } catch (const std::exception& e) {
        ErrorReporter::report(e);
        return;
    }
    delete item;
    edttabname->clear();
}

// Quick-reply page

void TFrmConfig::fillNumberBox() {
    {
        const QSignalBlocker block(CobQuick);
        CobQuick->clear();
        for (qsizetype i = 0; i < m_notes.size(); ++i)
            CobQuick->addItem(QString::number(i + 1));
        CobQuick->setCurrentIndex(m_notes.isEmpty() ? -1 : 0);
    }
    if (!m_notes.isEmpty())
        CobQuickChange(0);
}

void TFrmConfig::LoadQuickNotes() {
    std::optional<QList<QByteArray>> notes;
    try {
        notes = QuickNotes::load(quickNotesPath());
    } catch (const std::exception& e) {
        ErrorReporter::report(e);
        return;
    }
    if (!notes)
        return;
    m_notes = *notes;
    fillNumberBox();
}

void TFrmConfig::SaveQuickNotes() {
    QuickNotes::save(quickNotesPath(), m_notes);
}

void TFrmConfig::CobQuickChange(int index) {
    if (index < 0 || index >= m_notes.size())
        return;
    QString text = fromIni(QuickNotes::decode(m_notes.at(index)));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    Meoquick->setPlainText(text);
}

void TFrmConfig::btnQuickAddClick() {
    const QString text = Meoquick->toPlainText();
    // QuickNotes.dat is written only when the notes changed: to a sync tool
    // a rewrite of the same notes is a new version.
    if (text.isEmpty())
        return;
    m_notes.append(QuickNotes::encode(toIni(text)));
    CobQuick->addItem(QString::number(m_notes.size()));
    CobQuick->setCurrentIndex(CobQuick->count() - 1);
    try {
        SaveQuickNotes();
    } catch (const std::exception& e) {
        ErrorReporter::report(e);
    }
}

void TFrmConfig::BtnQuickDelClick() {
    const int index = CobQuick->currentIndex();
    if (index < 0 || index >= m_notes.size())
        return;
    m_notes.removeAt(index);
    try {
        SaveQuickNotes();
    } catch (const std::exception& e) {
        ErrorReporter::report(e);
        // Keep the numbers in step with the list that is in memory.
        fillNumberBox();
        return;
    }
    LoadQuickNotes();
}
