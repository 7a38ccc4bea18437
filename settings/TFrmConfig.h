#pragma once
// The settings dialog "参数设置". Created once at program start; it reads
// config.ini then and keeps its controls between openings. OK writes the
// settings (the owner then reloads its mirror); Cancel writes nothing. The
// category and quick-reply pages write each change at once.
#include <QByteArray>
#include <QDialog>
#include <QHash>
#include <QList>
#include <QString>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

class TFrmConfig : public QDialog {
    Q_OBJECT
  public:
    // programDir ends with '/'; config.ini and QuickNotes.dat live there.
    explicit TFrmConfig(const QString& programDir, QWidget* parent = nullptr);

    QString iniPath() const { return m_programDir + QStringLiteral("config.ini"); }
    QString quickNotesPath() const { return m_programDir + QStringLiteral("QuickNotes.dat"); }

    // Fills the controls from config.ini (done once, at creation).
    void LoadDialogSettings();
    // Writes to config.ini the keys whose controls the user changed since
    // they were filled (or last written); throws VellumError on a failed
    // write (the keys before it stay written).
    void SaveDialogSettings();
    // The autostart entry; throws VellumError.
    void SetAutoRun(bool on);
    // Publishes the conversion mode (0 none, 1 UBB, 2 HTML) for the browser
    // helper; throws VellumError.
    void SetConversionMode(int mode);

    // Quick-reply notes, in their stored form.
    void LoadQuickNotes();
    void SaveQuickNotes();
    const QList<QByteArray>& notes() const { return m_notes; }

    // Category names.
    int FindFreeSlot() const;
    void SaveCategoryNames();
    void DeleteCategoryName(int slot);

  private slots:
    void BtnOKClick();
    void btndefubbClick();
    void CbxNoConvertClick();
    void trvtabclassClick(QTreeWidgetItem* item);
    void btnnewtabClick();
    void btnedittabClick();
    void btndeltabClick();
    void CobQuickChange(int index);
    void btnQuickAddClick();
    void BtnQuickDelClick();

  private:
    struct KeyValue {
        QByteArray section;
        QByteArray key;
        QByteArray value;
    };
    // Every key of the dialog with its control's value as written, in the
    // order OK writes them.
    QList<KeyValue> dialogValues() const;
    void buildUi();
    QWidget* buildTabBase();
    QWidget* buildTabGetSet();
    QWidget* buildTabSet();
    QWidget* buildTabQuick();
    QWidget* buildTabTab();
    QWidget* buildTabUbb();
    QWidget* buildTabPostData();
    void fillNumberBox();
    void information(const QString& text);
    QTreeWidgetItem* selectedCategory() const;

    QString m_programDir;
    QList<QByteArray> m_notes;
    // "Section/Key" -> the value the file holds as far as the dialog knows.
    QHash<QByteArray, QByteArray> m_written;

    QTabWidget* PageConfig = nullptr;
    QPushButton* BtnOK = nullptr;
    QPushButton* BtnCancel = nullptr;

    QCheckBox* CbxStayOnTop = nullptr;
    QCheckBox* CbxRetoreMainWin = nullptr;
    QCheckBox* CbxAutoHide = nullptr;
    QCheckBox* CbxRunMini = nullptr;
    QCheckBox* CbxAutoRun = nullptr;

    QCheckBox* CbxClearContentOnGetTitle = nullptr;
    QCheckBox* CbxAutoSave = nullptr;
    QCheckBox* CbxSoundOnSucc = nullptr;
    QCheckBox* CbxNoConvert = nullptr;
    QRadioButton* RabConvert2UBB = nullptr;
    QRadioButton* RabConvert2HTML = nullptr;

    QCheckBox* cbxsetClipBoard = nullptr;
    QRadioButton* rabkeepsubject = nullptr;
    QRadioButton* rabnextsubject = nullptr;

    QPlainTextEdit* Meoquick = nullptr;
    QComboBox* CobQuick = nullptr;
    QPushButton* btnQuickAdd = nullptr;
    QPushButton* BtnQuickDel = nullptr;
    QRadioButton* rabrandom = nullptr;
    QRadioButton* rabselected = nullptr;

    QTreeWidget* trvtabclass = nullptr;
    QLineEdit* edttabname = nullptr;
    QPushButton* btnnewtab = nullptr;
    QPushButton* btnedittab = nullptr;
    QPushButton* btndeltab = nullptr;

    QLineEdit* EdtUrl = nullptr;
    QLineEdit* EdtImg = nullptr;
    QLineEdit* EdtFlash = nullptr;
    QLineEdit* EdtRm = nullptr;
    QLineEdit* EdtMp = nullptr;
    QPushButton* btndefubb = nullptr;

    QLineEdit* edtposturl = nullptr;
};
