#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

namespace BuildDate {
// Reads "now"; tests hand in a fixed moment in a fixed zone.
using Clock = std::function<QDateTime()>;
QDateTime systemNow();

// "ddd, dd MMM yyyy HH:mm:ss " plus the UTC offset of that moment. Day and
// month names are always English: feed readers reject localised RFC 822 dates.
QString text(const QDateTime &moment);
} // namespace BuildDate
