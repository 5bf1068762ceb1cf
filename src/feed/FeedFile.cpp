#include "FeedFile.h"

#include "xml/XmlDocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace FeedFile {
namespace {
QString failure(const QString &path, const QString &reason) {
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), reason);
}
} // namespace

QString wellFormednessError(const QByteArray &bytes) {
    return XmlDocument::checkWellFormed(bytes);
}

bool write(const QString &path, const QByteArray &bytes, QString *error) {
    const QFileInfo info(path);
    if (info.isDir()) {
        *error = failure(path, QStringLiteral("Is a folder"));
        return false;
    }
    // Renaming would replace a read-only file too; respect the user's lock.
    if (info.exists()) {
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) {
            *error = failure(path, probe.errorString());
            return false;
        }
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = failure(path, file.errorString());
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        *error = failure(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = failure(path, file.errorString());
        return false;
    }
    return true;
}
} // namespace FeedFile
