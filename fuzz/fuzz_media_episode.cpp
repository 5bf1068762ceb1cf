// Feeds arbitrary bytes to `add`'s media reading as a file: the type by
// content, TagLib through the bounded stream, the title and the size. Besides
// the sanitizers it checks what the feed relies on: only audio or video
// becomes an episode, with the file's length, a title XML can hold and a
// duration in its form; anything else is refused with a reason.
#include "feed/MediaEpisode.h"
#include "feed/MediaFile.h"
#include "feed/MediaSource.h"

#include <QByteArray>
#include <QDateTime>
#include <QRegularExpression>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace {
// The input lives in a memory file, opened by name like any media file.
int inputFile() {
    static const int fd = memfd_create("media", 0);
    return fd;
}

void fail(const char *what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const int fd = inputFile();
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();
    const QByteArray path = QByteArray("/proc/self/fd/") + QByteArray::number(fd);

    // A small budget keeps each run short; it is the same code path.
    const MediaSource source(path, {1 << 20, 2000});
    Episode previous;
    previous[EpisodeColumn::Url] = QStringLiteral("https://cdn.example.net/show/1.mp3");
    const MediaEpisode made = MediaEpisode::fromSource(
        source, &previous, QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC));

    if (made.isValid() != source.isMedia())
        fail("an episode from a file refused, or none from one accepted");
    if (!made.isValid()) {
        if (made.error.isEmpty())
            fail("refused without a reason");
        if (size == 0 && !made.error.startsWith(u"the file is empty"))
            fail("an empty file not refused as empty");
        return 0;
    }
    const Episode &episode = made.episode;
    const QString type = episode[EpisodeColumn::Type];
    if (!type.startsWith(u"audio/") && !type.startsWith(u"video/"))
        fail("an episode whose type is not audio or video");
    if (episode[EpisodeColumn::Length] != QString::number(size))
        fail("a length other than the file's");
    const QString title = episode[EpisodeColumn::Title];
    qsizetype dropped = 0;
    if (MediaFile::xmlCharactersOnly(title, &dropped) != title || dropped != 0 ||
        title.contains(u'<'))
        fail("a title XML cannot hold");
    static const QRegularExpression durationForm(QStringLiteral("^(\\d{2,}:[0-5]\\d:[0-5]\\d)?$"));
    if (!durationForm.match(episode[EpisodeColumn::Duration]).hasMatch())
        fail("a duration not in its form");
    if (made.durationRead == episode[EpisodeColumn::Duration].isEmpty())
        fail("durationRead and Duration disagree");
    if (!episode[EpisodeColumn::Url].startsWith(u"https://cdn.example.net/show/"))
        fail("the address left the previous episode's folder");
    return 0;
}
