#pragma once
// The daily usage request: at most one empty POST per calendar day to the
// address in config.ini ([Common] UsageURL). Without an address nothing
// leaves the machine, but the day is still recorded.
#include <QDate>
#include <QString>

class IniFile;

// When [Common] ldate differs from today ("yyyy-mm-dd"), writes today's date
// and returns true. A failed write throws VellumError.
bool RecordUsageDay(const IniFile& ini, const QDate& today);

// The whole step: records the day and, when due and an address is set,
// starts the request on a worker. True when a request was started.
bool SendUsageCount(const QString& iniPath, const QDate& today = QDate::currentDate());

constexpr int kUsageReadTimeoutMs = 3000;
