#pragma once
#include <QDialog>
#include <QList>
#include <QPair>

class QComboBox;

// Asks for the category that the selected post moves to.
class Tfrmtrans : public QDialog {
    Q_OBJECT
  public:
    explicit Tfrmtrans(QWidget* parent = nullptr);
    // Each target is a visible caption and its category index.
    void setTargets(const QList<QPair<QString, int>>& targets);
    int chosenTarget() const { return m_chosen; }

  private:
    QComboBox* m_combo;
    int m_chosen = -1;
};
