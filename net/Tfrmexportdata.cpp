#include "net/Tfrmexportdata.h"

#include "net/BackgroundWork.h"
#include "net/ExportRule.h"
#include "net/FileDialogs.h"
#include "platform/AnsiCodePage.h"
#include "platform/DialogFrame.h"
#include "platform/ErrorReporter.h"
#include "platform/VellumError.h"
#include "store/RuleExport.h"
#include "store/TDateMan.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <new>

namespace {
// The dialog's bar as the store's progress indicator. An empty range would
// make the bar a busy indicator, so there is always at least one step.
class BarIndicator : public ProgressIndicator {
  public:
    explicit BarIndicator(QProgressBar* bar) : m_bar(bar) {}
    void setMinimum(int value) override { m_bar->setMinimum(value); }
    void setMaximum(int value) override {
        m_bar->setMaximum(std::max(value, m_bar->minimum() + 1));
    }
    void setPosition(int value) override { m_bar->setValue(value); }

  private:
    QProgressBar* m_bar;
};

// Both buttons stay disabled while an export runs, however it ends.
class ButtonsDisabled {
  public:
    ButtonsDisabled(QPushButton* a, QPushButton* b, bool& exporting)
        : m_a(a), m_b(b), m_exporting(exporting) {
        m_a->setEnabled(false);
        m_b->setEnabled(false);
        m_exporting = true;
    }
    ~ButtonsDisabled() {
        m_exporting = false;
        m_a->setEnabled(true);
        m_b->setEnabled(true);
    }
    ButtonsDisabled(const ButtonsDisabled&) = delete;
    ButtonsDisabled& operator=(const ButtonsDisabled&) = delete;

  private:
    QPushButton* m_a;
    QPushButton* m_b;
    bool& m_exporting;
};

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}
} // namespace

Tfrmexportdata::Tfrmexportdata(const QString& programDir, QWidget* parent)
    : QDialog(parent), m_iniPath(programDir + QStringLiteral("config.ini")) {
    setObjectName(QStringLiteral("frmexportdata"));
    setWindowTitle(QStringLiteral("自定义导出数据"));

    Label1 = makeLabel(this, "Label1", QStringLiteral("规则："));
    rabcommonrule = new QRadioButton(QStringLiteral("普通文本"), this);
    rabcommonrule->setObjectName(QStringLiteral("rabcommonrule"));
    rabsqlrule = new QRadioButton(QStringLiteral("SQL语句"), this);
    rabsqlrule->setObjectName(QStringLiteral("rabsqlrule"));
    meoexportrule = new QPlainTextEdit(this);
    meoexportrule->setObjectName(QStringLiteral("meoexportrule"));
    meoexportrule->setLineWrapMode(QPlainTextEdit::NoWrap);
    meoexportrule->setAccessibleName(QStringLiteral("导出规则"));
    Label2 = makeLabel(this, "Label2", QStringLiteral("变量说明："));
    Label3 = makeLabel(this, "Label3", QStringLiteral("$title - 帖子标题"));
    Label4 = makeLabel(this, "Label4", QStringLiteral("$content - 帖子内容"));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 1);
    ProgressBar1->setValue(0);
    Button1 = new QPushButton(QStringLiteral("开 始"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAutoDefault(false);
    Button2 = new QPushButton(QStringLiteral("退 出"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setAutoDefault(false);

    auto* root = new QVBoxLayout(this);
    auto* modeRow = new QHBoxLayout();
    modeRow->addWidget(Label1);
    modeRow->addStretch(1);
    modeRow->addWidget(rabcommonrule);
    modeRow->addWidget(rabsqlrule);
    root->addLayout(modeRow);
    root->addWidget(meoexportrule, 1);
    auto* help = new QHBoxLayout();
    help->addWidget(Label2);
    help->addWidget(Label3);
    help->addSpacing(12);
    help->addWidget(Label4);
    help->addStretch(1);
    root->addLayout(help);
    root->addWidget(ProgressBar1);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    root->addLayout(buttons);
    setFixedDialogFrame(this, 440, 300);

    connect(Button1, &QPushButton::clicked, this, &Tfrmexportdata::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::close);

    const ExportRule::Values kept = ExportRule::load(m_iniPath);
    // The memo keeps lines apart with LF; the rule's CR LF are put back
    // when it is read.
    meoexportrule->setPlainText(
        AnsiCodePage::toUnicode(kept.rule).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    (kept.plainText ? rabcommonrule : rabsqlrule)->setChecked(true);
}

int Tfrmexportdata::Execute(int k, TDateMan* store) {
    m_category = k;
    m_store = store;
    return exec();
}

QByteArray Tfrmexportdata::ruleBytes() const {
    QString text = meoexportrule->toPlainText();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return AnsiCodePage::fromUnicode(text);
}

void Tfrmexportdata::Button1Click() {
    const QByteArray rule = ruleBytes();
    if (rule.isEmpty() || !m_store)
        return;
    const QString path =
        FileDialogs::getSaveFileName(this, QStringLiteral("SaveDialogExport"), kFilter, kSuffix);
    if (path.isEmpty())
        return;
    const ButtonsDisabled busy(Button1, Button2, m_exporting);
    ProgressBar1->setRange(0, 1);
    ProgressBar1->setValue(0);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    const bool sql = rabsqlrule->isChecked();
    // The posts as they are now; the store may change while the file is
    // written on another thread.
    const QList<QByteArray> records = m_store->Records(m_category);
    BarIndicator bar(ProgressBar1);
    int written = 0;
    try {
        BackgroundWork::run(
            [&](ProgressIndicator* progress) {
                written = ExportRuleToFile(records, path, rule, sql, progress);
            },
            &bar);
    } catch (const VellumError& e) {
        ProgressBar1->setValue(ProgressBar1->minimum());
        ErrorReporter::report(
            QStringLiteral("导出没有完成，无法写入文件“%1”。\n\n%2").arg(path, e.message()));
        return;
    } catch (const std::bad_alloc&) {
        ProgressBar1->setValue(ProgressBar1->minimum());
        ErrorReporter::report(
            QStringLiteral("内存不足，导出没有完成，文件“%1”没有写入。").arg(path));
        return;
    }
    ProgressBar1->setValue(ProgressBar1->maximum());
    QMessageBox box(QMessageBox::Information, QStringLiteral("提示"),
                    QStringLiteral("共完成%1个！").arg(written), QMessageBox::Ok, this);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}

void Tfrmexportdata::saveState() {
    try {
        ExportRule::save(m_iniPath, {ruleBytes(), rabcommonrule->isChecked()});
    } catch (const VellumError& e) {
        ErrorReporter::report(e);
    }
}

void Tfrmexportdata::done(int result) {
    // The dialog stays while an export runs: its work and its buttons' state
    // belong to this window.
    if (m_exporting)
        return;
    saveState();
    QDialog::done(result);
}

void Tfrmexportdata::closeEvent(QCloseEvent* event) {
    if (m_exporting) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
