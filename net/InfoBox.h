#pragma once
#include <QString>

class QWidget;

// A notice with the information icon and a "确定" button, caption "提示".
void ShowInfoBox(QWidget* owner, const QString& text);
