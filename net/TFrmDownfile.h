#pragma once
#include <QDialog>

// Created once at start-up and reused; shown modally.
class TFrmDownfile : public QDialog {
    Q_OBJECT
  public:
    explicit TFrmDownfile(QWidget* parent = nullptr);
};
