#include "SaveToFile.h"

#include "FeedFault.h"
#include "FeedFile.h"
#include "FeedText.h"
#include "SourceFeedText.h"
#include "model/PodcastDocument.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstring>
#include <future>
#include <optional>
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
    const QString buildDate = BuildDate::text(clock());
    const Result result =
        writeChecked(document, SourceFeedText::buildPieces(document, buildDate), buildDate, path);
    if (result.status != Result::Status::NotWellFormed)
        return result;
    const QString located = FeedFault::locate(document);
    return {Result::Status::NotWellFormed, located.isEmpty() ? result.detail : located};
}

Result writeChecked(const PodcastDocument &document, const TextPieces &bytes,
                    const QString &buildDate, const QString &path) {
    // A build that failed left nothing, which the check refuses.
    if (bytes.isEmpty())
        return {Result::Status::NotWellFormed, FeedFile::wellFormednessError(QByteArray())};
    // Parsing the text takes as long as writing it: side by side, a save
    // of a long feed waits for the longer of the two only.
    std::future<QString> check = std::async(std::launch::async, [&bytes] {
        try {
            return FeedFile::wellFormednessError(bytes);
        } catch (const std::bad_alloc &) {
            return QStringLiteral("Out of memory");
        }
    });
    std::optional<QString> reason;
    const auto approved = [&] {
        if (!reason)
            reason = check.get();
        return reason->isEmpty();
    };
    QString error;
    if (FeedFile::write(path, bytes, &error, approved))
        return {Result::Status::Saved, {}};
    if (!error.isEmpty())
        return {Result::Status::WriteFailed, error};
    approved();
    // The kept file's text with its changes failed: the fixed layout, checked
    // before it is written, as a save is never refused for how the file was kept.
    if (document.source()) {
        const QByteArray fixed = FeedText::buildUtf8(document, buildDate);
        if (FeedFile::wellFormednessError(fixed).isEmpty()) {
            if (!FeedFile::write(path, fixed, &error))
                return {Result::Status::WriteFailed, error};
            return {Result::Status::Saved, {}};
        }
    }
    return {Result::Status::NotWellFormed, *reason};
}
} // namespace SaveToFile
