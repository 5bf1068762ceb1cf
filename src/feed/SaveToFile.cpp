#include "SaveToFile.h"

#include "FeedFault.h"
#include "FeedFile.h"
#include "SourceFeedText.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstring>
#include <unistd.h>

namespace SaveToFile {
namespace {
QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

QString writeProblem(const QString &path) {
    const QFileInfo info(path);
    if (QFile::encodeName(info.fileName()).size() > NAME_MAX)
        return systemReason(ENAMETOOLONG);
    const QFileInfo folder(info.absolutePath());
    if (!folder.exists())
        return systemReason(ENOENT);
    if (!folder.isDir())
        return systemReason(ENOTDIR);
    if (info.exists()) {
        if (info.isDir())
            return systemReason(EISDIR);
        // A file that takes writes can be replaced in place even where the
        // folder takes no new file (the writer does so).
        if (::access(QFile::encodeName(info.absoluteFilePath()).constData(), W_OK) != 0)
            return systemReason(errno);
        return {};
    }
    if (::access(QFile::encodeName(folder.absoluteFilePath()).constData(), W_OK | X_OK) != 0)
        return systemReason(errno);
    return {};
}

Result save(const PodcastDocument &document, const QString &path, BuildDate::Clock clock) {
    QString reason;
    const QByteArray bytes =
        SourceFeedText::buildChecked(document, BuildDate::text(clock()), &reason);
    if (!reason.isEmpty()) {
        const QString located = FeedFault::locate(document);
        return {Result::Status::NotWellFormed, located.isEmpty() ? reason : located};
    }
    QString error;
    if (!FeedFile::write(path, bytes, &error))
        return {Result::Status::WriteFailed, error};
    return {Result::Status::Saved, {}};
}
} // namespace SaveToFile
