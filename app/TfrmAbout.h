#pragma once
#include <QDialog>

// The about box; created once at start-up and shown modally.
class TfrmAbout : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmAbout(QWidget* parent = nullptr);
};
