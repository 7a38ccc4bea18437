#pragma once
// Qt's own texts (message box buttons, the editors' context menus, file
// errors) in Chinese, from the translations the system installs with Qt.
namespace QtChinese {
// Installs them into the running application; returns whether they were
// found.
bool install();
} // namespace QtChinese
