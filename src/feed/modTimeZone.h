#pragma once

#include <QDateTime>
#include <QString>

// UTC offset text of feed dates.
namespace modTimeZone {
// The five-character offset ("+0200", "-0330", "+0000") for a bias in whole
// minutes, where UTC equals local time plus the bias.
QString utcOffsetText(int biasMinutes);

// The bias in force at that moment, daylight saving time included, so the
// offset always agrees with the wall-clock time printed beside it.
int biasMinutesAt(const QDateTime &moment);
} // namespace modTimeZone
