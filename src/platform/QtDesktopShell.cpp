#include "QtDesktopShell.h"

#include <QDesktopServices>
#include <QUrl>

bool QtDesktopShell::openUrl(const QString &address) {
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid())
        return false;
    return QDesktopServices::openUrl(url);
}
