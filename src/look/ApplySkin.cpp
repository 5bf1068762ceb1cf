#include "ApplySkin.h"

#include "ApplyFormColours.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWidget>
#include <QtGlobal>

namespace Skin {
QString path(const QString &applicationFolder) {
    return QDir(QDir::fromNativeSeparators(applicationFolder))
        .filePath(QString::fromUtf8(FileName));
}
} // namespace Skin

void ApplySkin(QWidget &mainWindow, const QString &applicationFolder) {
    const QString skinPath = Skin::path(applicationFolder);
    // Only a file counts: a folder of that name is no skin.
    if (!QFileInfo(skinPath).isFile())
        return;

    ApplyFormColours(mainWindow);

    QFile file(skinPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qWarning("Skin %s could not be read (%s); using the plain look.", qPrintable(skinPath),
                 qPrintable(file.errorString()));
        return;
    }
    const QString sheet = QString::fromUtf8(file.readAll());
    if (sheet.trimmed().isEmpty()) {
        qWarning("Skin %s is empty; using the plain look.", qPrintable(skinPath));
        return;
    }
    mainWindow.setStyleSheet(sheet);
}
