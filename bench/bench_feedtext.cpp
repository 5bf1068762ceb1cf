#include "FeedGenerator.h"

#include "feed/FeedText.h"
#include "model/PodcastDocument.h"

#include <benchmark/benchmark.h>

namespace {
void FeedTextBuild(benchmark::State &state) {
    PodcastDocument document;
    FeedGenerator::fill(document, static_cast<int>(state.range(0)));
    const QString date = FeedGenerator::buildDate();
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QString text = FeedText::build(document, date);
        bytes = text.size();
        benchmark::DoNotOptimize(text.constData());
    }
    state.SetBytesProcessed(state.iterations() * bytes * 2);
}

void FeedTextBuildToUtf8(benchmark::State &state) {
    PodcastDocument document;
    FeedGenerator::fill(document, static_cast<int>(state.range(0)));
    const QString date = FeedGenerator::buildDate();
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray utf8 = FeedText::build(document, date).toUtf8();
        bytes = utf8.size();
        benchmark::DoNotOptimize(utf8.constData());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

void FeedTextBuildUtf8(benchmark::State &state) {
    PodcastDocument document;
    FeedGenerator::fill(document, static_cast<int>(state.range(0)));
    const QString date = FeedGenerator::buildDate();
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray utf8 = FeedText::buildUtf8(document, date);
        bytes = utf8.size();
        benchmark::DoNotOptimize(utf8.constData());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
} // namespace

BENCHMARK(FeedTextBuild)->Arg(1000)->Arg(32767)->Unit(benchmark::kMillisecond);
BENCHMARK(FeedTextBuildToUtf8)->Arg(32767)->Unit(benchmark::kMillisecond);
BENCHMARK(FeedTextBuildUtf8)->Arg(1000)->Arg(32767)->Unit(benchmark::kMillisecond);
