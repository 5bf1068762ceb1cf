#include "FeedGenerator.h"

#include "feed/ErrorReporter.h"
#include "feed/FeedFile.h"
#include "feed/LoadPodcast.h"
#include "feed/MessageService.h"
#include "model/PodcastDocument.h"
#include "xml/XmlDocument.h"

#include <QBuffer>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace {
class SilentMessages : public MessageService {
public:
    void notice(const QString &, const QString &) override { std::abort(); }
    Answer question(const QString &, const QString &, Buttons, Answer answer) override {
        return answer;
    }
};

class SilentErrors : public ErrorReporter {
public:
    void reportFailure(const QString &, int, const QString &) override { std::abort(); }
};

// The feed lives in a memory file, so the disk stays out of the figures.
QString memoryFile(const QByteArray &bytes) {
    const int fd = memfd_create("feed.xml", 0);
    if (fd < 0 || write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size())
        std::abort();
    return QStringLiteral("/proc/self/fd/%1").arg(fd);
}

void LoadPodcastFromMemoryFile(benchmark::State &state) {
    const QByteArray bytes = FeedGenerator::feedBytes(static_cast<int>(state.range(0)));
    const QString path = memoryFile(bytes);
    SilentMessages messages;
    SilentErrors errors;
    for (auto _ : state) {
        PodcastDocument document;
        if (!loadPodcastFile(path, document, messages, errors) ||
            document.episodeCount() != state.range(0))
            std::abort();
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void XmlDocumentFullTree(benchmark::State &state) {
    QByteArray bytes = FeedGenerator::feedBytes(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        XmlDocument document;
        if (!document.load(&buffer))
            std::abort();
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

// What the save runs on the text before it replaces the file.
void WellFormednessCheck(benchmark::State &state) {
    const QByteArray bytes = FeedGenerator::feedBytes(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        if (!FeedFile::wellFormednessError(bytes).isEmpty())
            std::abort();
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
} // namespace

BENCHMARK(LoadPodcastFromMemoryFile)->Arg(1000)->Arg(32767)->Unit(benchmark::kMillisecond);
BENCHMARK(XmlDocumentFullTree)->Arg(32767)->Unit(benchmark::kMillisecond);
BENCHMARK(WellFormednessCheck)->Arg(32767)->Unit(benchmark::kMillisecond);
