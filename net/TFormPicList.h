#pragma once
// "图片列表": the page's pictures with a check box each, narrowed by height,
// width or a part of the address; "确 定" hands every ticked address to the
// insert callback. Created once and reused; shown modally.
#include "net/PictureList.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class TFormPicList : public QDialog {
    Q_OBJECT
  public:
    using InsertCallback = std::function<void(const QByteArray& address)>;

    explicit TFormPicList(QWidget* parent = nullptr);

    // Called for each ticked address on "确 定", top to bottom.
    void setInsertCallback(InsertCallback callback) { m_insert = std::move(callback); }

    // Replaces the entries and lists them all, unticked. The filter controls
    // keep their state.
    void LoadPictures(const QByteArray& payload);

    const QList<PictureEntry>& entries() const { return m_entries; }
    // Indices into entries() of the listed rows, top to bottom.
    const QList<int>& shownEntries() const { return m_shown; }

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void listAll();
    void listEntries(const QList<int>& indices);
    void filterKindChanged();
    void runFilter();
    void selectAllChanged(bool checked);
    void confirm();

    QListWidget* clbpiclist;
    QCheckBox* cbxselectall;
    QLabel* Label1;
    QComboBox* cbbwh;
    QComboBox* cbbgl;
    QComboBox* cbbv;
    QLineEdit* edtv;
    QPushButton* btnfilter;
    QPushButton* BitBtn1;
    QPushButton* BitBtn3;

    QList<PictureEntry> m_entries;
    QList<int> m_shown;
    InsertCallback m_insert;
};
