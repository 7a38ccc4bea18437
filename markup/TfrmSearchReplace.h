#pragma once
#include <QDialog>

// Created once at start-up and reused; shown modally.
class TfrmSearchReplace : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmSearchReplace(QWidget* parent = nullptr);
};
