#pragma once
#include <QDialog>

class QLineEdit;

// Asks for the text to look for in the titles of the active category.
class TFrmSearchSubject : public QDialog {
    Q_OBJECT
  public:
    explicit TFrmSearchSubject(QWidget* parent = nullptr);
    const QString& searchText() const { return m_searchText; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLineEdit* m_edit;
    QString m_searchText;
};
