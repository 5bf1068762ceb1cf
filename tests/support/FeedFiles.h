#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

// Files and texts that tests of loading and saving share.
namespace FeedFiles {
inline QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeAll(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The text with its build date element, and the white space before it, cut
// out, so that saves made at different moments compare.
inline QByteArray withoutBuildDate(QByteArray text) {
    const qsizetype at = text.indexOf("<lastBuildDate>");
    if (at < 0)
        return text;
    const qsizetype end = text.indexOf("</lastBuildDate>", at) + 16;
    qsizetype begin = at;
    while (begin > 0 && QByteArrayView(" \t\r\n").contains(text[begin - 1]))
        --begin;
    return text.remove(begin, end - begin);
}
} // namespace FeedFiles
