#pragma once
// The reason of a failed system call as a short Chinese phrase for the user
// ("磁盘空间不足"), with the system's own text for anything unusual.
#include <QString>

namespace SystemErrorText {
QString of(int error);
// True for the errors that more room on the disk would cure.
bool isOutOfRoom(int error);
} // namespace SystemErrorText
