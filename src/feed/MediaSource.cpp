#include "MediaSource.h"

#include "BoundedMediaStream.h"
#include "MediaFile.h"

#include <QMimeDatabase>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fileref.h>
#include <tag.h>

namespace {
// As much of the start as Qt's content matching looks at in a file.
constexpr qsizetype HeadSize = 16384;

QString systemReason(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

// Why something other than a regular file cannot be an episode; empty for
// a regular file.
QString kindRefusal(mode_t mode) {
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return QStringLiteral("Is a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("Is a named pipe (FIFO), not a regular file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("Is a device, not a regular file");
    if (S_ISSOCK(mode))
        return QStringLiteral("Is a socket, not a regular file");
    return QStringLiteral("Is not a regular file");
}

qint64 modifiedNanoseconds(const struct stat &info) {
    return qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
}
} // namespace

MediaSource::MediaSource(const QByteArray &path)
    : MediaSource(path, Budget()) {}

MediaSource::MediaSource(const QByteArray &path, Budget budget)
    : m_path(path)
    , m_budget(budget) {
    open();
    if (m_error.isEmpty())
        judgeContent();
}

MediaSource::~MediaSource() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void MediaSource::open() {
    if (m_path.isEmpty()) {
        m_error = systemReason(ENOENT);
        return;
    }
    // Looked at before it is opened: opening a device can act on it (a tape
    // rewinds). The check after opening is the one that counts.
    struct stat info {};
    if (::stat(m_path.constData(), &info) != 0) {
        m_error = systemReason(errno);
        return;
    }
    if (m_error = kindRefusal(info.st_mode); !m_error.isEmpty())
        return;
    // O_NONBLOCK: should a FIFO stand there by now, opening must not wait
    // for a writer.
    m_fd = ::open(m_path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (m_fd < 0) {
        m_error = systemReason(errno);
        return;
    }
    if (::fstat(m_fd, &info) != 0) {
        m_error = systemReason(errno);
        return;
    }
    if (m_error = kindRefusal(info.st_mode); !m_error.isEmpty())
        return;
    m_size = qint64(info.st_size);
    m_modified = modifiedNanoseconds(info);
    m_linked = info.st_nlink > 0;
    if (m_size == 0) {
        m_error = QStringLiteral("the file is empty, not audio or video");
        m_contentRefused = true;
    }
}

void MediaSource::judgeContent() {
    QByteArray head(std::min<qint64>(m_size, HeadSize), '\0');
    qsizetype done = 0;
    while (done < head.size()) {
        const ssize_t got =
            ::pread(m_fd, head.data() + done, size_t(head.size() - done), off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            m_error = systemReason(errno);
            return;
        }
        if (got == 0)
            break;
        done += got;
    }
    head.truncate(done);
    // By content alone: the name said .mp3 of text and .txt of an MP3.
    m_mime = QMimeDatabase().mimeTypeForData(head);
    if (MediaFile::isEpisodeType(m_mime))
        return;
    // A playlist says audio/x-mpegurl, but it is text that points elsewhere.
    const QString name = m_mime.name();
    const bool textPosingAsMedia = name.startsWith(u"audio/") || name.startsWith(u"video/");
    m_contentRefused = true;
    m_error = QStringLiteral("the content is %1%2, not audio or video")
                  .arg(name, textPosingAsMedia ? QStringLiteral(" (text)") : QString());
}

MediaSource::Tags MediaSource::readTags() const {
    Tags tags;
    if (!isMedia())
        return tags;
    // The extension the content calls for leads TagLib to the right reader;
    // it tries the others by content when that one fails.
    const QByteArray name = "media." + m_mime.preferredSuffix().toUtf8();
    BoundedMediaStream stream(m_fd, m_size, name, m_budget.bytes, m_budget.milliseconds);
    const TagLib::FileRef file(&stream);
    tags.cutShort = stream.exhausted();
    if (file.isNull() || tags.cutShort)
        return tags;
    if (const TagLib::Tag *tag = file.tag())
        tags.title = QString::fromUtf8(tag->title().toCString(true));
    // A stream TagLib finds no frames in reports zero: that is no duration,
    // not a recording of no length.
    if (const TagLib::AudioProperties *properties = file.audioProperties();
        properties && properties->lengthInMilliseconds() > 0)
        tags.milliseconds = properties->lengthInMilliseconds();
    return tags;
}

QString MediaSource::changeSinceOpened() const {
    if (m_fd < 0)
        return {};
    struct stat now {};
    if (::fstat(m_fd, &now) != 0)
        return systemReason(errno);
    // A file already without a name (a memory file) cannot lose it.
    if (m_linked && now.st_nlink == 0)
        return QStringLiteral("the file was deleted while it was read");
    if (qint64(now.st_size) != m_size)
        return QStringLiteral("the file changed while it was read (%1 bytes when opened, %2 now)")
            .arg(m_size)
            .arg(qint64(now.st_size));
    if (modifiedNanoseconds(now) != m_modified)
        return QStringLiteral("the file changed while it was read");
    return {};
}
