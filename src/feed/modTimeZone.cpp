#include "modTimeZone.h"

#include <cstdlib>

namespace modTimeZone {
QString utcOffsetText(int biasMinutes) {
    const long long offset = -static_cast<long long>(biasMinutes);
    const long long magnitude = std::llabs(offset);
    const QChar sign = offset >= 0 ? u'+' : u'-';
    return sign + QStringLiteral("%1%2")
                      .arg(magnitude / 60, 2, 10, QLatin1Char('0'))
                      .arg(magnitude % 60, 2, 10, QLatin1Char('0'));
}

int biasMinutesAt(const QDateTime &moment) {
    // offsetFromUtc() is east-positive seconds; the bias is west-positive minutes.
    return -(moment.offsetFromUtc() / 60);
}
} // namespace modTimeZone
