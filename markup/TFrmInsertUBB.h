#pragma once
// The small dialog behind the five insertion buttons. Each variant sets both
// captions and both texts anew, so nothing carries over from one use to the
// next; the caller builds the tag from the two texts after OK.
#include <QDialog>
#include <QString>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TFrmInsertUBB : public QDialog {
    Q_OBJECT
  public:
    enum class Variant { Link, Image, Flash, Real, Media };
    struct Result {
        bool accepted = false;
        QString edt1;
        QString edt2;
    };

    explicit TFrmInsertUBB(QWidget* parent = nullptr);

    // Shows the variant modally; closing the window counts as cancel.
    Result run(Variant variant);

  private:
    QGroupBox* GroupBox1 = nullptr;
    QLabel* lab1 = nullptr;
    QLineEdit* Edt1 = nullptr;
    QLabel* Lab2 = nullptr;
    QLineEdit* Edt2 = nullptr;
    QPushButton* BtnOK = nullptr;
    QPushButton* BtnCancel = nullptr;
};
