#include "net/TFrmDownfile.h"

#include "net/DownloadDir.h"
#include "net/DownloadNaming.h"
#include "net/InfoBox.h"
#include "net/TThreadDownfile.h"
#include "platform/AnsiCodePage.h"
#include "platform/DialogFrame.h"
#include "platform/ErrorReporter.h"
#include "platform/VellumError.h"
#include "settings/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTranslator>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>

namespace {

// Qt's own texts of the folder browser (column heads, the side bar) in
// Chinese while it is open, where the translation is installed.
class QtChineseTexts {
  public:
    QtChineseTexts() {
        if (m_translator.load(QStringLiteral("qtbase_zh_CN"),
                              QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            m_installed = QCoreApplication::installTranslator(&m_translator);
        // Handled now, before the dialog exists: later it would undo the
        // dialog's own labels.
        QCoreApplication::sendPostedEvents(QCoreApplication::instance(), QEvent::LanguageChange);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    }
    ~QtChineseTexts() {
        if (m_installed)
            QCoreApplication::removeTranslator(&m_translator);
    }
    QtChineseTexts(const QtChineseTexts&) = delete;
    QtChineseTexts& operator=(const QtChineseTexts&) = delete;

  private:
    QTranslator m_translator;
    bool m_installed = false;
};

QString browseFolder(QWidget* owner) {
    const QtChineseTexts chinese;
    QString start = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!QFileInfo(start).isDir())
        start = QDir::homePath();
    QFileDialog dialog(owner, QStringLiteral("请选择保存目录"), start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("查找范围："));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("文件夹："));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("类型："));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("选择"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("取消"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QPushButton* makeButton(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

TFrmDownfile::TFrmDownfile(const QString& iniPath, QWidget* parent)
    : QDialog(parent), m_iniPath(iniPath), m_browseFolder(browseFolder),
      m_handOver(std::make_shared<UiHandOver>(this)) {
    setObjectName(QStringLiteral("FrmDownfile"));
    setWindowTitle(QStringLiteral("下载文件"));
    setFixedDialogFrame(this, 460, 320);

    clbfilelist = new QListWidget(this);
    clbfilelist->setObjectName(QStringLiteral("clbfilelist"));
    clbfilelist->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setFormat(QStringLiteral("%v / %m"));
    ProgressBar1->setRange(0, 1);
    ProgressBar1->setValue(0);
    ProgressBar1->setVisible(false);

    Label1 = new QLabel(QStringLiteral("保存到:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    edtsavepath = new QLineEdit(this);
    edtsavepath->setObjectName(QStringLiteral("edtsavepath"));
    btnselectpath = makeButton(QStringLiteral("浏览"), "btnselectpath", this);
    btnok = makeButton(QStringLiteral("开始下载"), "btnok", this);
    btncancel = makeButton(QStringLiteral("退 出"), "btncancel", this);

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(Label1);
    pathRow->addWidget(edtsavepath, 1);
    pathRow->addWidget(btnselectpath);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(btnok);
    buttonRow->addWidget(btncancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(clbfilelist, 1);
    layout->addWidget(ProgressBar1);
    layout->addLayout(pathRow);
    layout->addLayout(buttonRow);

    connect(btnselectpath, &QPushButton::clicked, this, &TFrmDownfile::selectPath);
    connect(btnok, &QPushButton::clicked, this, &TFrmDownfile::startDownload);
    connect(btncancel, &QPushButton::clicked, this, &QDialog::reject);

    const QByteArray stored = IniFile(m_iniPath).readString("Common", "Download");
    edtsavepath->setText(EffectiveSaveFolder(AnsiCodePage::toUnicode(stored)));
}

TFrmDownfile::~TFrmDownfile() {
    m_handOver->detach();
}

void TFrmDownfile::Prepare(const QString& title, const QStringList& addresses) {
    m_titleFolder = TitleFolderName(title);
    QStringList sorted = addresses;
    // Alphabetical without regard to case; equal addresses stay together.
    std::stable_sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    clbfilelist->clear();
    for (const QString& address : sorted) {
        auto* item = new QListWidgetItem(address, clbfilelist);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Checked);
        item->setToolTip(address);
    }
    if (m_pending == 0) {
        ProgressBar1->setRange(0, 1);
        ProgressBar1->setValue(0);
        ProgressBar1->setFormat(QString());
    }
    btnok->setEnabled(true);
}

void TFrmDownfile::ShowDownloads(const QString& title, const QStringList& addresses) {
    Prepare(title, addresses);
    exec();
}

void TFrmDownfile::selectPath() {
    const QString folder = m_browseFolder ? m_browseFolder(this) : QString();
    if (!folder.isEmpty())
        edtsavepath->setText(folder);
}

void TFrmDownfile::startDownload() {
    if (clbfilelist->count() == 0) {
        ShowInfoBox(this, QStringLiteral("没有可下载的文件!"));
        return;
    }
    const QString saveFolder = EffectiveSaveFolder(edtsavepath->text());
    int error = 0;
    const std::shared_ptr<const DownloadDir> folder =
        DownloadDir::open(saveFolder, m_titleFolder, &error);
    if (!folder) {
        const QString path = DownloadFolder(saveFolder, m_titleFolder);
        ShowInfoBox(this,
                    error == ELOOP
                        ? QStringLiteral("“%1”是一个链接，不会下载到链接所指的位置！").arg(path)
                        : QStringLiteral("无法创建保存目录“%1”！").arg(path));
        return;
    }
    QStringList addresses;
    for (int i = 0; i < clbfilelist->count(); ++i)
        if (clbfilelist->item(i)->checkState() == Qt::Checked)
            addresses << clbfilelist->item(i)->text();

    // Downloads of an earlier run still going keep counting on the same bar.
    if (m_pending == 0) {
        m_failed = 0;
        ProgressBar1->setRange(0, std::max<int>(1, static_cast<int>(addresses.size())));
        ProgressBar1->setValue(0);
    } else {
        ProgressBar1->setMaximum(ProgressBar1->maximum() + static_cast<int>(addresses.size()));
    }
    ProgressBar1->setFormat(m_pending == 0 && addresses.isEmpty() ? QStringLiteral("0 / 0")
                                                                  : QStringLiteral("%v / %m"));
    ProgressBar1->setVisible(true);
    btnok->setEnabled(false);
    for (const QString& address : addresses) {
        ++m_pending;
        TThreadDownfile::Start(address, folder, FileNameFromAddress(address), m_handOver,
                               [this](const DownloadOutcome& outcome) { fileFinished(outcome); });
    }
}

void TFrmDownfile::fileFinished(const DownloadOutcome& outcome) {
    --m_pending;
    if (!outcome.ok)
        ++m_failed;
    ProgressBar1->setValue(ProgressBar1->value() + 1);
    if (m_pending > 0)
        return;
    const int failed = m_failed;
    QWidget* owner = isVisible() ? static_cast<QWidget*>(this) : parentWidget();
    ShowInfoBox(owner, failed == 0 ? QStringLiteral("全部下载完成!")
                                   : QStringLiteral("下载完成，%1个文件失败!").arg(failed));
    if (isVisible())
        reject();
    emit downloadsFinished(failed);
}

void TFrmDownfile::done(int result) {
    saveFolderSetting();
    QDialog::done(result);
}

void TFrmDownfile::saveFolderSetting() {
    try {
        IniFile(m_iniPath).writeString("Common", "Download",
                                       AnsiCodePage::fromUnicode(edtsavepath->text()));
    } catch (const VellumError& e) {
        ErrorReporter::report(e);
    }
}
