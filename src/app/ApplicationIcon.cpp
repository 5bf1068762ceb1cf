#include "ApplicationIcon.h"

#include <QImageReader>

QIcon ApplicationIcon() {
    QIcon icon;
    // The PNG renders need nothing at run time; the SVG adds sharp large
    // sizes where Qt's SVG support happens to be installed.
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1x%1/brindlewood-feed-editor.png").arg(size),
                     QSize(size, size));
    if (QImageReader::supportedImageFormats().contains("svg"))
        icon.addFile(QStringLiteral(":/icons/brindlewood-feed-editor.svg"));
    return icon;
}
