#pragma once

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QtEndian>

// Writes a small Windows cursor file: an icon file whose type says cursor and
// whose first entry carries the hot spot.
inline bool writeCursorFile(const QString &path, QPoint hotSpot, QSize size = QSize(32, 32)) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(QColor(200, 120, 40));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, "ico").write(image))
        return false;
    auto *raw = reinterpret_cast<uchar *>(bytes.data());
    qToLittleEndian<quint16>(2, raw + 2);
    qToLittleEndian<quint16>(quint16(hotSpot.x()), raw + 6 + 4);
    qToLittleEndian<quint16>(quint16(hotSpot.y()), raw + 6 + 6);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline bool writeFile(const QString &path, const QByteArray &content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}
