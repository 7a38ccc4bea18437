#include "app/SaveFailureBox.h"

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <utility>

namespace SaveFailureBox {

namespace {
QPointer<QMessageBox> openBox;
bool sessionEnded = false;
} // namespace

bool endSession() {
    if (!openBox)
        return false;
    sessionEnded = true;
    openBox->done(QMessageBox::Cancel);
    return true;
}

Choice ask(QWidget* owner, const QStringList& errors) {
    QMessageBox box(
        QMessageBox::Warning, QStringLiteral("保存失败"),
        QStringLiteral("有分类没有保存，关闭已暂停：\n\n%1").arg(errors.join(QLatin1Char('\n'))),
        QMessageBox::NoButton, owner);
    box.setObjectName(QStringLiteral("SaveFailureBox"));
    box.setInformativeText(QStringLiteral("“重试”：腾出磁盘空间或修好文件夹后再保存一次。\n"
                                          "“继续运行”：所有修改都还在，稍后再关闭。\n"
                                          "“不保存，退出”：没有保存的分类中本次的修改将丢失。"));
    QPushButton* retry = box.addButton(QStringLiteral("重试"), QMessageBox::AcceptRole);
    retry->setObjectName(QStringLiteral("btnRetry"));
    QPushButton* keep = box.addButton(QStringLiteral("继续运行"), QMessageBox::RejectRole);
    keep->setObjectName(QStringLiteral("btnKeepRunning"));
    QPushButton* quit = box.addButton(QStringLiteral("不保存，退出"), QMessageBox::DestructiveRole);
    quit->setObjectName(QStringLiteral("btnQuitWithoutSaving"));
    box.setDefaultButton(retry);
    box.setEscapeButton(keep);
    openBox = &box;
    sessionEnded = false;
    box.exec();
    openBox = nullptr;
    if (std::exchange(sessionEnded, false))
        return Choice::SessionEnded;
    if (box.clickedButton() == retry)
        return Choice::Retry;
    if (box.clickedButton() == quit)
        return Choice::Quit;
    return Choice::KeepRunning;
}

} // namespace SaveFailureBox
