#include "BuildDate.h"

#include "modTimeZone.h"

#include <QLocale>

namespace BuildDate {
QDateTime systemNow() {
    return QDateTime::currentDateTime();
}

QString text(const QDateTime &moment) {
    // QLocale::c() gives the English abbreviations whatever the user's locale.
    const QString stamp =
        QLocale::c().toString(moment, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss "));
    return stamp + modTimeZone::utcOffsetText(modTimeZone::biasMinutesAt(moment));
}
} // namespace BuildDate
