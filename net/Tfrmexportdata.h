#pragma once
#include <QDialog>

// Created once at start-up and reused; shown modally.
class Tfrmexportdata : public QDialog {
    Q_OBJECT
  public:
    explicit Tfrmexportdata(QWidget* parent = nullptr);
};
