// Writes a generated feed: brindlewood-bench-feedgen [--episodes N] OUT
#include "FeedGenerator.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <QStringList>
#include <cstdio>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    int episodes = FeedGenerator::DefaultEpisodes;
    if (args.size() == 3 && args[0] == u"--episodes") {
        bool ok = false;
        episodes = args[1].toInt(&ok);
        if (!ok || episodes < 0) {
            std::fprintf(stderr, "invalid episode count\n");
            return 2;
        }
        args = args.mid(2);
    }
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: brindlewood-bench-feedgen [--episodes N] OUT\n");
        return 2;
    }
    QSaveFile file(args[0]);
    if (!file.open(QIODevice::WriteOnly) || file.write(FeedGenerator::feedBytes(episodes)) < 0 ||
        !file.commit()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(args[0]));
        return 1;
    }
    return 0;
}
