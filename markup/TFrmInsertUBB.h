#pragma once
#include <QDialog>

// Created once at start-up and reused; shown modally.
class TFrmInsertUBB : public QDialog {
    Q_OBJECT
  public:
    explicit TFrmInsertUBB(QWidget* parent = nullptr);
};
