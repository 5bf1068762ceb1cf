// Feeds arbitrary bytes to LoadPodcast as a file. Besides the sanitizers it
// checks the loader's promise: a refused file shows one "Fail to load XML."
// and leaves the document exactly as it was.
#include "feed/ErrorReporter.h"
#include "feed/LoadPodcast.h"
#include "feed/MessageService.h"
#include "feed/SourceFeedText.h"
#include "model/PodcastDocument.h"
#include "xml/XmlDocument.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace {
class CountingMessages : public MessageService {
public:
    void notice(const QString &text, const QString &) override {
        if (text != u"Fail to load XML.")
            std::abort();
        ++failures;
    }
    Answer question(const QString &, const QString &, Buttons, Answer) override { std::abort(); }
    int failures = 0;
};

class CountingErrors : public ErrorReporter {
public:
    void reportFailure(const QString &, int, const QString &) override { ++reports; }
    int reports = 0;
};

QStringList snapshot(const PodcastDocument &document) {
    QStringList texts;
    for (int i = 0; i < ChannelField::Count; ++i)
        texts.append(document.field(i));
    for (const Episode &episode : document.episodes())
        for (const QString &column : episode.columns())
            texts.append(column);
    return texts;
}

// A file loaded into an empty document is saved as its own text with the
// changes put in: whatever the file, that text has to be well-formed, unedited
// and after ordinary edits. Its episodes share the file's text where they
// can; they must read exactly as those loaded after `filled`'s first one.
void checkKeptTextSave(const QString &path, const PodcastDocument &filled) {
    PodcastDocument document;
    CountingMessages messages;
    CountingErrors errors;
    if (!loadPodcastFile(path, document, messages, errors))
        std::abort();
    if (document.episodeCount() + 1 != filled.episodeCount())
        std::abort();
    for (qsizetype n = 1; n <= document.episodeCount(); ++n) {
        if (document.episode(n).columns() != filled.episode(n + 1).columns() ||
            document.episode(n).extra() != filled.episode(n + 1).extra()) {
            std::fprintf(stderr, "episode %lld reads otherwise from the file's text\n",
                         static_cast<long long>(n));
            std::abort();
        }
    }
    const QString date = QStringLiteral("Wed, 09 Dec 2026 12:00:00 +0000");
    const auto check = [&](const char *what) {
        const QString problem =
            XmlDocument::checkWellFormed(SourceFeedText::buildUtf8(document, date));
        if (!problem.isEmpty()) {
            std::fprintf(stderr, "%s save not well-formed: %s\n", what, qPrintable(problem));
            std::abort();
        }
    };
    check("unedited");
    for (int k = 0; k < ChannelField::Count; ++k)
        document.setField(k, document.field(k) + QStringLiteral("x"));
    if (document.episodeCount() > 0) {
        for (int c = 1; c < EpisodeColumn::Count; ++c)
            document.setEpisodeColumn(1, c, document.episode(1)[c] + QStringLiteral("y"));
        document.moveEpisodes(document.episodeCount(), 1, 1);
        document.removeEpisode(document.episodeCount());
    }
    document.appendEpisode(QStringLiteral("new"));
    check("edited");
}

// The input lives in a memory file; the loader opens it by path like any other.
int inputFile() {
    static const int fd = memfd_create("feed.xml", 0);
    return fd;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const int fd = inputFile();
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();
    const QString path = QStringLiteral("/proc/self/fd/%1").arg(fd);

    PodcastDocument document;
    document.setField(ChannelField::Title, QStringLiteral("before"));
    document.appendEpisode(QStringLiteral("kept"));
    document.setDocumentChanged(false);
    const QStringList before = snapshot(document);

    CountingMessages messages;
    CountingErrors errors;
    const bool loaded = loadPodcastFile(path, document, messages, errors);

    if (!loaded && (messages.failures != 1 || snapshot(document) != before ||
                    document.DocumentChanged() || errors.reports != 0)) {
        std::fprintf(stderr, "refused file changed the document\n");
        std::abort();
    }
    if (loaded && (messages.failures != 0 || document.episodeCount() < 1 ||
                   document.episode(1)[EpisodeColumn::Title] != u"kept"))
        std::abort();
    if (loaded)
        checkKeptTextSave(path, document);
    return 0;
}
