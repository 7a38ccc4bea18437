#pragma once
#include <QDialog>

class LinkLabel;

// The about box: the program's name and version, links to its web site and
// its author's mail, and a picture; the button or a click on the picture
// closes it. Created once at start-up and shown modally.
class TfrmAbout : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmAbout(QWidget* parent = nullptr);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* m_picture = nullptr;
};
