#include "HandCursor.h"

#include "feed/StepFailure.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <QtEndian>

namespace {
// The hot spot sits in the first directory entry of the file, where an icon
// file keeps its planes and bit count.
QPoint readHotSpot(const QString &cursorPath, const QSize &imageSize) {
    QFile file(cursorPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray header = file.read(6 + 16);
    if (header.size() < 6 + 16)
        return {};
    const auto *bytes = reinterpret_cast<const uchar *>(header.constData());
    if (qFromLittleEndian<quint16>(bytes + 2) != 2) // 2: cursor, 1: icon
        return {};
    const int x = qFromLittleEndian<quint16>(bytes + 6 + 4);
    const int y = qFromLittleEndian<quint16>(bytes + 6 + 6);
    if (x >= imageSize.width() || y >= imageSize.height())
        return {};
    return {x, y};
}
} // namespace

namespace HandCursor {
QString path(const QString &applicationFolder) {
    return QDir(QDir::fromNativeSeparators(applicationFolder))
        .filePath(QString::fromUtf8(FileName));
}

QCursor load(const QString &cursorPath) {
    QImageReader reader(cursorPath, "ico");
    const QImage image = reader.read();
    if (image.isNull())
        throw StepFailure(QStringLiteral("The pointer file %1 could not be read: %2")
                              .arg(QDir::toNativeSeparators(cursorPath), reader.errorString()));
    const QPoint hotSpot = readHotSpot(cursorPath, image.size());
    return QCursor(QPixmap::fromImage(image), hotSpot.x(), hotSpot.y());
}

QCursor fallback() {
    return QCursor(Qt::PointingHandCursor);
}
} // namespace HandCursor
