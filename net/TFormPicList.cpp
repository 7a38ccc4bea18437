#include "net/TFormPicList.h"

#include "platform/AnsiCodePage.h"
#include "platform/ErrorReporter.h"
#include "platform/VellumError.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {
const QString kAll = QStringLiteral("全部图片");
const QString kHeight = QStringLiteral("图片高度");
const QString kWidth = QStringLiteral("图片宽度");
const QString kAddress = QStringLiteral("图片地址");
const QString kGreater = QStringLiteral("大于");
const QString kLess = QStringLiteral("小于");
const QString kContains = QStringLiteral("包含");
const QString kNotContains = QStringLiteral("不包含");
} // namespace

TFormPicList::TFormPicList(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("FormPicList"));
    setWindowTitle(QStringLiteral("图片列表"));

    clbpiclist = new QListWidget(this);
    clbpiclist->setObjectName(QStringLiteral("clbpiclist"));
    clbpiclist->setSortingEnabled(false);
    clbpiclist->setUniformItemSizes(true);
    clbpiclist->setMinimumSize(420, 260);

    cbxselectall = new QCheckBox(QStringLiteral("全选"), this);
    cbxselectall->setObjectName(QStringLiteral("cbxselectall"));

    Label1 = new QLabel(QStringLiteral("图片过滤："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    clbpiclist->setAccessibleName(windowTitle());

    cbbwh = new QComboBox(this);
    cbbwh->setObjectName(QStringLiteral("cbbwh"));
    cbbwh->addItems({kAll, kHeight, kWidth, kAddress});
    cbbwh->setCurrentIndex(0);
    Label1->setBuddy(cbbwh);

    cbbgl = new QComboBox(this);
    cbbgl->setObjectName(QStringLiteral("cbbgl"));
    cbbgl->setMinimumContentsLength(4);

    cbbv = new QComboBox(this);
    cbbv->setObjectName(QStringLiteral("cbbv"));
    cbbv->setEditable(true);
    cbbv->setInsertPolicy(QComboBox::NoInsert);
    for (int v = 100; v <= 1000; v += 100)
        cbbv->addItem(QString::number(v));
    cbbv->setCurrentIndex(-1);
    cbbv->setEditText(QString());
    cbbv->lineEdit()->installEventFilter(this);
    cbbv->installEventFilter(this);

    edtv = new QLineEdit(this);
    edtv->setObjectName(QStringLiteral("edtv"));
    edtv->setVisible(false);

    btnfilter = new QPushButton(QStringLiteral("过滤"), this);
    btnfilter->setObjectName(QStringLiteral("btnfilter"));
    btnfilter->setAutoDefault(false);

    BitBtn1 = new QPushButton(QStringLiteral("确 定"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setAutoDefault(false);
    BitBtn3 = new QPushButton(QStringLiteral("取 消"), this);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    BitBtn3->setAutoDefault(false);

    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(Label1);
    filterRow->addWidget(cbbwh);
    filterRow->addWidget(cbbgl);
    filterRow->addWidget(cbbv);
    filterRow->addWidget(edtv);
    filterRow->addWidget(btnfilter);
    filterRow->addStretch();

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(cbxselectall);
    buttonRow->addStretch();
    buttonRow->addWidget(BitBtn1);
    buttonRow->addWidget(BitBtn3);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(clbpiclist);
    layout->addLayout(filterRow);
    layout->addLayout(buttonRow);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(cbbwh, &QComboBox::currentIndexChanged, this, [this] { filterKindChanged(); });
    connect(cbbv, &QComboBox::currentTextChanged, this, [this] { runFilter(); });
    connect(btnfilter, &QPushButton::clicked, this, [this] { runFilter(); });
    connect(cbxselectall, &QCheckBox::toggled, this, [this](bool on) { selectAllChanged(on); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { confirm(); });
    connect(BitBtn3, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormPicList::LoadPictures(const QByteArray& payload) {
    m_entries = ParsePicturePayload(payload);
    listAll();
}

void TFormPicList::listAll() {
    QList<int> all;
    for (int i = 0; i < m_entries.size(); ++i)
        all.append(i);
    listEntries(all);
}

void TFormPicList::listEntries(const QList<int>& indices) {
    // A page can list hundreds of thousands of pictures: the rows are added
    // in one insertion and the view never measures them one by one.
    clbpiclist->setUpdatesEnabled(false);
    clbpiclist->clear();
    m_shown = indices;
    QStringList addresses;
    addresses.reserve(indices.size());
    for (int i : indices)
        addresses.append(AnsiCodePage::toUnicode(m_entries[i].address));
    clbpiclist->addItems(addresses);
    const QSignalBlocker quiet(clbpiclist->model());
    for (int row = 0; row < clbpiclist->count(); ++row) {
        QListWidgetItem* item = clbpiclist->item(row);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    clbpiclist->setUpdatesEnabled(true);
}

void TFormPicList::filterKindChanged() {
    cbbgl->clear();
    const QString kind = cbbwh->currentText();
    if (kind == kHeight || kind == kWidth) {
        cbbgl->addItems({kGreater, kLess});
        cbbgl->setCurrentIndex(-1);
        edtv->setVisible(false);
        cbbv->setVisible(true);
    } else if (kind == kAddress) {
        cbbgl->addItems({kContains, kNotContains});
        cbbgl->setCurrentIndex(-1);
        edtv->setVisible(true);
        cbbv->setVisible(false);
    } else {
        cbbv->setCurrentIndex(-1);
        cbbv->setEditText(QString());
        edtv->clear();
        listAll();
    }
}

void TFormPicList::runFilter() {
    const QString kindText = cbbwh->currentText();
    const QString opText = cbbgl->currentText();
    if (kindText.isEmpty() || opText.isEmpty())
        return;
    qint32 value = 0;
    try {
        value = FilterValue(cbbv->currentText());
    } catch (const VellumError& e) {
        ErrorReporter::report(e);
        return;
    }
    PictureFilterKind kind = PictureFilterKind::All;
    if (kindText == kHeight)
        kind = PictureFilterKind::Height;
    else if (kindText == kWidth)
        kind = PictureFilterKind::Width;
    else if (kindText == kAddress)
        kind = PictureFilterKind::Address;
    PictureFilterOp op = PictureFilterOp::Greater;
    if (opText == kLess)
        op = PictureFilterOp::Less;
    else if (opText == kContains)
        op = PictureFilterOp::Contains;
    else if (opText == kNotContains)
        op = PictureFilterOp::NotContains;
    listEntries(FilterPictures(m_entries, kind, op, value, edtv->text()));
    cbxselectall->setChecked(false);
}

void TFormPicList::selectAllChanged(bool checked) {
    for (int row = 0; row < clbpiclist->count(); ++row)
        clbpiclist->item(row)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void TFormPicList::confirm() {
    QList<QByteArray> ticked;
    for (int row = 0; row < clbpiclist->count(); ++row)
        if (clbpiclist->item(row)->checkState() == Qt::Checked)
            ticked.append(m_entries[m_shown[row]].address);
    for (const QByteArray& address : ticked)
        if (m_insert)
            m_insert(address);
    accept();
}

void TFormPicList::showEvent(QShowEvent* event) {
    cbxselectall->setChecked(false);
    if (QWidget* owner = parentWidget()) {
        const QRect area = owner->window()->frameGeometry();
        move(area.center() - rect().center());
    }
    QDialog::showEvent(event);
}

bool TFormPicList::eventFilter(QObject* watched, QEvent* event) {
    // The value box takes digits only; Backspace and every other character
    // key are dropped, the Delete key and choosing a listed value still work.
    if (event->type() == QEvent::KeyPress && (watched == cbbv || watched == cbbv->lineEdit())) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Backspace || key->matches(QKeySequence::Paste))
            return true;
        if (key->key() == Qt::Key_Delete)
            return false;
        // Escape and Tab keep their dialog meaning.
        if (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Tab ||
            key->key() == Qt::Key_Backtab)
            return false;
        const QString text = key->text();
        const bool digit =
            text.size() == 1 && text.at(0) >= QLatin1Char('0') && text.at(0) <= QLatin1Char('9');
        if (!text.isEmpty() && !digit)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}
