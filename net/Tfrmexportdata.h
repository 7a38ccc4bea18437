#pragma once
// The custom export dialog "自定义导出数据": writes one expanded rule per post
// of a category to a text file, in plain text or SQL mode. Created once at
// start-up and reused, so the rule, the mode and the progress bar keep their
// state between openings; the rule and the mode are read from config.ini
// once and written back at every close.
#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class TDateMan;

class Tfrmexportdata : public QDialog {
    Q_OBJECT
  public:
    static inline const QString kFilter = QStringLiteral("文本文件(*.txt)");
    static inline const QString kSuffix = QStringLiteral("txt");

    explicit Tfrmexportdata(const QString& programDir, QWidget* parent = nullptr);

    // Keeps the category and the store for "开 始" and shows the dialog
    // modally.
    int Execute(int k, TDateMan* store);

    bool isExporting() const { return m_exporting; }

    void done(int result) override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void Button1Click();
    // The rule as code-page bytes with CR LF between its lines.
    QByteArray ruleBytes() const;
    void saveState();

    QString m_iniPath;
    int m_category = 0;
    TDateMan* m_store = nullptr;
    bool m_exporting = false;

    QLabel* Label1 = nullptr;
    QRadioButton* rabcommonrule = nullptr;
    QRadioButton* rabsqlrule = nullptr;
    QPlainTextEdit* meoexportrule = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
};
