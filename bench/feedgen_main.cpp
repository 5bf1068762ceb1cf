// Writes a generated feed: brindlewood-bench-feedgen [--episodes N] OUT
#include "FeedGenerator.h"
#include "HostileFeeds.h"
#include "feed/FeedFile.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

namespace {
constexpr char Usage[] =
    "Usage: brindlewood-bench-feedgen [--episodes N] [--rich] [--] OUT\n"
    "       brindlewood-bench-feedgen --hostile SHAPE [--] OUT\n"
    "       brindlewood-bench-feedgen --hostile-shapes\n"
    "Writes a generated feed of N episodes (default 32767) to OUT;\n"
    "--rich adds show notes, artwork and podcast: tags to every item.\n"
    "--hostile writes a feed of that hostile shape instead; --hostile-shapes lists them.\n";

int usageError(const QString &text) {
    std::fprintf(stderr, "brindlewood-bench-feedgen: %s\n%s", qPrintable(text), Usage);
    return 2;
}
} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    int episodes = FeedGenerator::DefaultEpisodes;
    bool rich = false;
    QString hostile;
    QStringList files;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (optionsEnded || !arg.startsWith(u'-')) {
            files.append(arg);
        } else if (arg == u"--") {
            optionsEnded = true;
        } else if (arg == u"--help" || arg == u"-h") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (arg == u"--rich") {
            rich = true;
        } else if (arg == u"--hostile-shapes") {
            std::fputs(qPrintable(HostileFeeds::shapes().join(u'\n') + u'\n'), stdout);
            return 0;
        } else if (arg == u"--hostile" && i + 1 < args.size()) {
            hostile = args[++i];
            if (!HostileFeeds::shapes().contains(hostile))
                return usageError(QStringLiteral("unknown shape '%1'").arg(hostile));
        } else if (arg == u"--episodes" && i + 1 < args.size()) {
            bool ok = false;
            episodes = args[++i].toInt(&ok);
            if (!ok || episodes < 0)
                return usageError(QStringLiteral("invalid episode count '%1'").arg(args[i]));
        } else {
            // An unknown option is never taken for the output's name.
            return usageError(QStringLiteral("unknown option '%1'").arg(arg));
        }
    }
    if (files.size() != 1)
        return usageError(QStringLiteral("one OUT file is needed"));
    QString error;
    const QByteArray bytes = !hostile.isEmpty() ? HostileFeeds::bytes(hostile)
                             : rich             ? FeedGenerator::richFeedBytes(episodes)
                                                : FeedGenerator::feedBytes(episodes);
    if (!FeedFile::write(files.first(), bytes, &error)) {
        std::fprintf(stderr, "brindlewood-bench-feedgen: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
