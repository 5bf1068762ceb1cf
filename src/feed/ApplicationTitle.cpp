#include "ApplicationTitle.h"

#include <QCoreApplication>

namespace ApplicationTitle {
QString derive(const QString &productTitle) {
    QString title = productTitle;
    do {
        const qsizetype blank = title.lastIndexOf(u' ');
        if (blank < 0)
            break; // nothing left to cut
        title.truncate(blank);
    } while (title.size() > MaximumLength);
    return title;
}

QString current() {
    return QCoreApplication::applicationName();
}
} // namespace ApplicationTitle

void SetApplicationTitle() {
    QCoreApplication::setApplicationName(
        ApplicationTitle::derive(QString::fromUtf8(ApplicationTitle::ProductTitle)));
}
