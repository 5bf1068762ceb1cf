// The load-only path: brindlewood-bench-load FEED reads the feed into a
// document exactly as the editor does and prints nothing. Exit 1 when the
// feed was refused.
#include "feed/ErrorReporter.h"
#include "feed/LoadPodcast.h"
#include "feed/MessageService.h"
#include "model/PodcastDocument.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

namespace {
class StderrMessages : public MessageService {
public:
    void notice(const QString &text, const QString &detail) override {
        std::fprintf(stderr, "%s %s\n", qPrintable(text), qPrintable(detail));
    }
    Answer question(const QString &, const QString &, Buttons, Answer defaultAnswer) override {
        return defaultAnswer;
    }
};

class StderrErrors : public ErrorReporter {
public:
    void reportFailure(const QString &location, int step, const QString &description) override {
        std::fprintf(stderr, "%s step %d: %s\n", qPrintable(location), step,
                     qPrintable(description));
    }
};
} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    constexpr char Usage[] = "Usage: brindlewood-bench-load [--] FEED\n"
                             "Loads FEED as the editor does; exit 1 when it is refused.\n";
    QStringList args = QCoreApplication::arguments().mid(1);
    if (!args.isEmpty() && (args.first() == u"--help" || args.first() == u"-h")) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (!args.isEmpty() && args.first() == u"--")
        args.removeFirst();
    else if (!args.isEmpty() && args.first().startsWith(u'-')) {
        std::fprintf(stderr, "brindlewood-bench-load: unknown option '%s'\n%s",
                     qPrintable(args.first()), Usage);
        return 2;
    }
    if (args.size() != 1) {
        std::fputs(Usage, stderr);
        return 2;
    }
    PodcastDocument document;
    StderrMessages messages;
    StderrErrors errors;
    const bool loaded = loadPodcastFile(args.first(), document, messages, errors);
    return loaded && document.episodeCount() > 0 ? 0 : 1;
}
