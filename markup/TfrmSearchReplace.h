#pragma once
// The find-and-replace-all dialog of the content editor. It keeps the search
// and replacement texts between uses. Its replace button works on the text as
// it stands at the moment of the press, taken from the caller's source, so
// text that reached the editor while the dialog was open is part of it.
#include <QDialog>
#include <QString>

#include <functional>

class QLineEdit;
class QPushButton;

class TfrmSearchReplace : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmSearchReplace(QWidget* parent = nullptr);

    // Where Button1 takes the text it works on; without a source it works on
    // the text given to setWorkingText.
    void setWorkingTextSource(std::function<QString()> source);
    void setWorkingText(const QString& text) { m_workingText = text; }
    // After OK: the text with every occurrence replaced.
    const QString& workingText() const { return m_workingText; }
    // What the last press of the replace button did.
    qsizetype replacedCount() const { return m_replaced; }
    QString searchText() const;

  private:
    void Button1Click();

    QLineEdit* edtSearch = nullptr;
    QLineEdit* edtReplace = nullptr;
    QPushButton* Button1 = nullptr;
    QString m_workingText;
    qsizetype m_replaced = 0;
    std::function<QString()> m_source;
};
