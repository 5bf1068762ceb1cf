#include "ApplicationFolder.h"

#include "BuildConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ApplicationFolder {
QString path() {
    const QString exeFolder = QCoreApplication::applicationDirPath();
    if (QFileInfo(exeFolder + QLatin1StringView("/Samples")).isDir())
        return QDir::toNativeSeparators(exeFolder);
    const QString relative =
        QDir::cleanPath(exeFolder + u'/' + QString::fromUtf8(BuildConfig::RelativeDataDir));
    if (QFileInfo(relative + QLatin1StringView("/Samples")).isDir())
        return QDir::toNativeSeparators(relative);
    const QString installed = QString::fromUtf8(BuildConfig::InstalledDataDir);
    if (QFileInfo(installed).isDir())
        return QDir::toNativeSeparators(installed);
    return QDir::toNativeSeparators(exeFolder);
}

QString file(const QString &relative) {
    return path() + QDir::separator() + QDir::toNativeSeparators(relative);
}
} // namespace ApplicationFolder
