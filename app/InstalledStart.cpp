#include "app/InstalledStart.h"

#include "app/MessageBoxes.h"
#include "platform/ProgramFolder.h"
#include "platform/VellumError.h"

#include <QMessageBox>
#include <QPushButton>

namespace InstalledStart {

namespace {
bool askToCopy(QWidget* owner, const QString& from, const QString& to) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Vellum"),
                    QStringLiteral("安装后的 Vellum 把帖子和设置保存在“%1”。\n\n"
                                   "以前使用的文件夹“%2”中有帖子。要把这些帖子和那里的设置"
                                   "（config.ini、QuickNotes.dat）复制过来吗？\n\n"
                                   "原来的文件夹保持不变，不会被移动或删除。")
                        .arg(to, from),
                    QMessageBox::NoButton, owner);
    box.setObjectName(QStringLiteral("CopyPreviousPostsBox"));
    QPushButton* copy = box.addButton(QStringLiteral("复制帖子"), QMessageBox::AcceptRole);
    copy->setObjectName(QStringLiteral("btnCopyPosts"));
    QPushButton* skip = box.addButton(QStringLiteral("不复制"), QMessageBox::RejectRole);
    skip->setObjectName(QStringLiteral("btnSkipCopy"));
    box.setDefaultButton(copy);
    box.setEscapeButton(skip);
    box.exec();
    return box.clickedButton() == copy;
}
} // namespace

void prepare(QWidget* owner, const QString& programDir, const QString& sharedDir,
             bool offerPrevious) {
    // The older folder is found before this start registers itself.
    const QString previous = offerPrevious ? ProgramFolder::previousFolder(programDir) : QString();
    bool firstStart = false;
    try {
        firstStart = ProgramFolder::prepare(programDir, sharedDir);
    } catch (const VellumError& e) {
        MessageBoxes::error(owner, e.message());
        return;
    }
    if (!firstStart || previous.isEmpty() || !askToCopy(owner, previous, programDir))
        return;
    try {
        const int copied = ProgramFolder::copyPosts(previous, programDir);
        MessageBoxes::info(owner,
                           QStringLiteral("已从“%1”复制 %2 个文件。").arg(previous).arg(copied));
    } catch (const VellumError& e) {
        MessageBoxes::error(owner, e.message());
    }
}

} // namespace InstalledStart
