// The load-only path: brindlewood-bench-load FEED reads the feed into a
// document exactly as the editor does and prints nothing. Exit 1 when the
// feed was refused.
#include "feed/ErrorReporter.h"
#include "feed/LoadPodcast.h"
#include "feed/MessageService.h"
#include "model/PodcastDocument.h"

#include <QCoreApplication>
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
    if (argc != 2) {
        std::fprintf(stderr, "usage: brindlewood-bench-load FEED\n");
        return 2;
    }
    PodcastDocument document;
    StderrMessages messages;
    StderrErrors errors;
    const bool loaded =
        loadPodcastFile(QCoreApplication::arguments().at(1), document, messages, errors);
    return loaded && document.episodeCount() > 0 ? 0 : 1;
}
