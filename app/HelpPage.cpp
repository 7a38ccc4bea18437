#include "app/HelpPage.h"

#include "app/MessageBoxes.h"
#include "ui/ProductAddresses.h"
#include "ui/ShellOpen.h"

#include <QFileInfo>

namespace HelpPage {

void open(QWidget* owner, const char* section) {
    if (!QFileInfo(ProductAddresses::helpPagePath()).isFile()) {
        MessageBoxes::info(owner, QStringLiteral("找不到帮助页面“%1”。\n请重新安装Vellum。")
                                      .arg(ProductAddresses::helpPagePath()));
        return;
    }
    ShellOpen::open(ProductAddresses::helpPage(section ? QString::fromLatin1(section) : QString()));
}

} // namespace HelpPage
