// brindlewood-feed: the editor's loading and saving for scripts, no window.

#include "BuildConfig.h"
#include "CollectedMessages.h"
#include "CollectedReports.h"
#include "FixedPathDialogs.h"
#include "JsonOutput.h"
#include "PublishCommand.h"
#include "WebFeed.h"
#include "feed/FeedCheck.h"
#include "feed/LoadPodcast.h"
#include "feed/MediaEpisode.h"
#include "feed/MediaFile.h"
#include "feed/SavePodcast.h"
#include "model/PodcastDocument.h"
#include "publish/FeedDownload.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <cstdio>

namespace {
constexpr int ExitOk = 0;
constexpr int ExitRefused = 1;
constexpr int ExitUsage = 2;

constexpr char Usage[] =
    "Usage: brindlewood-feed dump FILE|URL\n"
    "       brindlewood-feed resave IN OUT\n"
    "       brindlewood-feed check FILE|URL [--json]\n"
    "       brindlewood-feed add FEED MEDIA... [--url-base URL]\n"
    "       brindlewood-feed publish FEED --to TARGET --public-url URL [options]\n"
    "       brindlewood-feed --help | --version\n"
    "\n"
    "  dump FILE      Load FILE into an empty podcast as \"Load Podcast.xml\" does and\n"
    "                 print it as JSON: {\"fields\": [12 texts], \"episodes\": [[13 texts],\n"
    "                 ...], \"channelExtra\": XML, \"episodeExtras\": [XML per episode],\n"
    "                 \"hiddenItems\": XML, \"errors\": [{\"location\", \"step\", "
    "\"description\"}],\n"
    "                 \"message\": null or \"Fail to load XML.\"}.\n"
    "  resave IN OUT  Load IN into an empty podcast and save it to OUT as the editor\n"
    "                 saves; OUT is left untouched when the feed is refused or OUT\n"
    "                 cannot take it (not a regular file, read-only, disk full).\n"
    "  check FILE [--json]\n"
    "                 Load FILE as the editor does and check it against the rules of\n"
    "                 Apple Podcasts, the Podcast Index and RSS 2.0; one finding a\n"
    "                 line: severity, rule, where, message and source. --json prints\n"
    "                 {\"findings\": [...], \"errors\": N, \"warnings\": N}.\n"
    "  add FEED MEDIA...\n"
    "                 Load FEED, append one episode per audio or video file (title,\n"
    "                 length, type, duration, date, GUID; address, author, keywords,\n"
    "                 explicit and category as in the episode before) and save FEED\n"
    "                 as the editor saves. FEED is left untouched on any failure.\n"
    "  --url-base URL The new enclosure addresses are URL/ plus the file name,\n"
    "                 instead of the previous episode's folder.\n"
    "  URL            dump and check also read an http:// or https:// address: the\n"
    "                 feed is fetched (at most 5 redirects, 10 MB and 30 s) and read\n"
    "                 as a file.\n"
    "  publish FEED   Upload FEED's new media, then FEED, to an SFTP, S3 or FTPS\n"
    "                 server; see 'brindlewood-feed publish --help'.\n"
    "  --             What follows is a file name, even when it begins with '-'.\n"
    "\n"
    "Exit status: 0 done, 1 the feed could not be loaded or saved, 2 usage error.\n"
    "check: 0 no errors (warnings allowed), 1 errors found, 2 usage error or a file\n"
    "that cannot be read as XML.\n";

void printError(const QString &text) {
    std::fprintf(stderr, "brindlewood-feed: %s\n", text.toLocal8Bit().constData());
}

int usageError(const QString &text) {
    printError(text);
    std::fputs("Try 'brindlewood-feed --help'.\n", stderr);
    return ExitUsage;
}

// Loads as "Load Podcast.xml" does, reports included.
bool load(const QString &path, PodcastDocument &document, CollectedMessages &messages,
          CollectedReports &reports) {
    return loadPodcastFile(path, document, messages, reports);
}

void printNotices(const CollectedMessages &messages, const QString &path) {
    for (const CollectedMessages::Notice &notice : messages.notices()) {
        if (notice.detail.isEmpty())
            printError(notice.text);
        else
            printError(QStringLiteral("%1 %2: %3").arg(notice.text, path, notice.detail));
    }
}

void printReports(const CollectedReports &reports) {
    for (const CollectedReports::Report &report : reports.reports())
        printError(QStringLiteral("%1at line %2: %3")
                       .arg(report.location)
                       .arg(report.step)
                       .arg(report.description));
}

// `shown` names the feed in messages: its web address when it was fetched.
int dump(const QString &path, const QString &shown) {
    PodcastDocument document;
    CollectedMessages messages;
    CollectedReports reports;
    const bool loaded = load(path, document, messages, reports);

    JsonOutput out(stdout);
    out.raw("{\"fields\": [");
    for (int i = 0; i < ChannelField::Count; ++i) {
        if (i > 0)
            out.raw(", ");
        out.string(document.field(i));
    }
    out.raw("],\n \"episodes\": [");
    bool first = true;
    for (const Episode &episode : document.episodes()) {
        out.raw(first ? "\n  [" : ",\n  [");
        first = false;
        for (int c = 0; c < EpisodeColumn::Count; ++c) {
            if (c > 0)
                out.raw(", ");
            out.string(episode[c]);
        }
        out.raw("]");
    }
    // Kept content as XML text, in list order.
    out.raw("],\n \"channelExtra\": ");
    out.string(QString::fromUtf8(document.channelExtra()));
    out.raw(",\n \"episodeExtras\": [");
    first = true;
    for (const Episode &episode : document.episodes()) {
        out.raw(first ? "\n  " : ",\n  ");
        first = false;
        out.string(QString::fromUtf8(episode.extra));
    }
    out.raw("],\n \"hiddenItems\": ");
    out.string(QString::fromUtf8(document.hiddenItems()));
    out.raw(",\n \"errors\": [");
    first = true;
    for (const CollectedReports::Report &report : reports.reports()) {
        out.raw(first ? "\n  {\"location\": " : ",\n  {\"location\": ");
        first = false;
        out.string(report.location);
        out.raw(", \"step\": ");
        out.number(report.step);
        out.raw(", \"description\": ");
        out.string(report.description);
        out.raw("}");
    }
    out.raw("],\n \"message\": ");
    if (messages.notices().isEmpty())
        out.raw("null");
    else
        out.string(messages.notices().first().text);
    out.raw("}\n");
    if (!out.flush()) {
        printError(QStringLiteral("cannot write the output"));
        return ExitRefused;
    }
    printNotices(messages, shown);
    return loaded ? ExitOk : ExitRefused;
}

void printPlace(JsonOutput &out, const FeedFinding::Place &place) {
    out.raw("{");
    const char *separator = "";
    if (place.isField()) {
        out.raw("\"field\": ");
        out.number(place.field);
        separator = ", ";
    }
    if (place.episode > 0) {
        out.raw(separator);
        out.raw("\"episode\": ");
        out.number(place.episode);
        separator = ", ";
    }
    if (place.column >= 0) {
        out.raw(separator);
        out.raw("\"column\": ");
        out.number(place.column);
        separator = ", ";
    }
    if (!place.tag.isEmpty()) {
        out.raw(separator);
        out.raw("\"tag\": ");
        out.string(place.tag);
    }
    out.raw("}");
}

int check(const QString &path, bool json, const QString &shown) {
    PodcastDocument document;
    CollectedMessages messages;
    CollectedReports reports;
    if (!load(path, document, messages, reports)) {
        printNotices(messages, shown);
        return ExitUsage;
    }
    printReports(reports);

    const QList<FeedFinding> findings = FeedCheck::check(document);
    const qsizetype errors = FeedCheck::errorCount(findings);
    JsonOutput out(stdout);
    if (json) {
        out.raw("{\"findings\": [");
        bool first = true;
        for (const FeedFinding &finding : findings) {
            out.raw(first ? "\n  {\"severity\": " : ",\n  {\"severity\": ");
            first = false;
            out.string(FeedFinding::severityText(finding.severity));
            out.raw(", \"rule\": ");
            out.string(finding.rule);
            out.raw(", \"where\": ");
            printPlace(out, finding.place);
            out.raw(", \"location\": ");
            out.string(finding.place.text());
            out.raw(", \"message\": ");
            out.string(finding.message);
            out.raw(", \"source\": ");
            out.string(finding.source);
            out.raw("}");
        }
        out.raw("],\n \"errors\": ");
        out.number(errors);
        out.raw(", \"warnings\": ");
        out.number(findings.size() - errors);
        out.raw("}\n");
    } else {
        // As compilers write theirs, so editors and scripts can read them.
        for (const FeedFinding &finding : findings) {
            const QString line =
                QStringLiteral("%1: %2: %3: %4 [%5; %6]\n")
                    .arg(shown, finding.place.text(), FeedFinding::severityText(finding.severity),
                         finding.message, finding.rule, finding.source);
            out.raw(line.toUtf8().toStdString());
        }
    }
    if (!out.flush()) {
        printError(QStringLiteral("cannot write the output"));
        return ExitRefused;
    }
    return errors > 0 ? ExitRefused : ExitOk;
}

// Loads as the editor does and prints what went wrong; false when refused.
bool loadReported(const QString &path, PodcastDocument &document) {
    CollectedMessages messages;
    CollectedReports reports;
    const bool loaded = load(path, document, messages, reports);
    printReports(reports);
    if (!loaded)
        printNotices(messages, path);
    return loaded;
}

// Saves with the editor's save to `path` and prints what went wrong.
int saveReported(const PodcastDocument &document, const QString &path) {
    FixedPathDialogs dialogs(path);
    CollectedMessages messages;
    CollectedReports reports;
    SaveServices services{dialogs, messages, reports};
    const bool saved = SavePodcast(document, services);
    printReports(reports);
    printNotices(messages, path);
    return saved ? ExitOk : ExitRefused;
}

int resave(const QString &in, const QString &out) {
    PodcastDocument document;
    if (!loadReported(in, document))
        return ExitRefused;
    return saveReported(document, out);
}

int add(const QString &feed, const QStringList &mediaFiles, const QString &urlBase) {
    PodcastDocument document;
    if (!loadReported(feed, document))
        return ExitRefused;

    // Every file is read before anything is appended: one bad name among
    // many must not leave a feed with half the episodes.
    const QDateTime now = BuildDate::systemNow();
    QList<Episode> added;
    for (const QString &path : mediaFiles) {
        const QString shown = QDir::toNativeSeparators(path);
        const Episode *previous = !added.isEmpty() ? &added.last()
                                  : document.episodeCount() > 0
                                      ? &document.episode(document.episodeCount())
                                      : nullptr;
        MediaEpisode made = MediaEpisode::fromFile(path, previous, now, urlBase);
        if (!made.isValid()) {
            printError(QStringLiteral("%1: %2; %3 was not changed.")
                           .arg(shown, made.error, QDir::toNativeSeparators(feed)));
            return ExitRefused;
        }
        if (!MediaFile::isMedia(path)) {
            printError(QStringLiteral("%1: not an audio or video file; %2 was not changed.")
                           .arg(shown, QDir::toNativeSeparators(feed)));
            return ExitRefused;
        }
        if (!made.durationRead)
            printError(QStringLiteral("%1: the duration could not be read; Duration is left empty.")
                           .arg(shown));
        added.append(std::move(made.episode));
    }
    document.appendEpisodes(std::move(added));
    return saveReported(document, feed);
}
} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    // Options are answered or refused wherever they stand, so an option
    // never becomes a file name; a name that begins with '-' follows "--".
    QStringList arguments;
    QString urlBase;
    bool urlBaseGiven = false;
    bool optionsEnded = false;
    bool json = false;
    const QStringList given = QCoreApplication::arguments().mid(1);
    if (!given.isEmpty() && given.first() == u"publish")
        return publishCommand(given.mid(1));
    for (qsizetype i = 0; i < given.size(); ++i) {
        const QString &argument = given[i];
        if (optionsEnded || !argument.startsWith(u'-')) {
            arguments.append(argument);
        } else if (argument == u"--url-base" || argument.startsWith(u"--url-base=")) {
            if (argument == u"--url-base") {
                if (++i == given.size())
                    return usageError(QStringLiteral("--url-base needs a URL"));
                urlBase = given[i];
            } else {
                urlBase = argument.mid(11);
            }
            if (urlBase.trimmed().isEmpty())
                return usageError(QStringLiteral("--url-base needs a URL"));
            urlBaseGiven = true;
        } else if (argument == u"--") {
            optionsEnded = true;
        } else if (argument == u"--help" || argument == u"-h") {
            std::fputs(Usage, stdout);
            return ExitOk;
        } else if (argument == u"--version") {
            std::printf("brindlewood-feed %s\n", BuildConfig::Version);
            return ExitOk;
        } else if (argument == u"--json") {
            json = true;
        } else {
            return usageError(QStringLiteral("unknown option '%1'").arg(argument));
        }
    }
    if (arguments.isEmpty())
        return usageError(QStringLiteral("no command given"));

    const QString &command = arguments.first();
    if (json && command != u"check")
        return usageError(QStringLiteral("--json goes with check only"));
    if (urlBaseGiven && command != u"add")
        return usageError(QStringLiteral("--url-base is an option of add only"));
    if (command == u"dump") {
        if (arguments.size() != 2)
            return usageError(QStringLiteral("dump takes one FILE"));
        if (arguments[1].isEmpty())
            return usageError(QStringLiteral("FILE is empty"));
        if (FeedDownload::isWebAddress(arguments[1]))
            return withWebFeed(arguments[1], ExitRefused,
                               [&](const QString &path) { return dump(path, arguments[1]); });
        return dump(arguments[1], arguments[1]);
    }
    if (command == u"resave") {
        if (arguments.size() != 3)
            return usageError(QStringLiteral("resave takes IN and OUT"));
        if (arguments[1].isEmpty())
            return usageError(QStringLiteral("IN is empty"));
        if (arguments[2].trimmed().isEmpty())
            return usageError(QStringLiteral("OUT is empty"));
        return resave(arguments[1], arguments[2]);
    }
    if (command == u"check") {
        if (arguments.size() != 2)
            return usageError(QStringLiteral("check takes one FILE"));
        if (arguments[1].isEmpty())
            return usageError(QStringLiteral("FILE is empty"));
        if (FeedDownload::isWebAddress(arguments[1]))
            return withWebFeed(arguments[1], ExitUsage, [&](const QString &path) {
                return check(path, json, arguments[1]);
            });
        return check(arguments[1], json, arguments[1]);
    }
    if (command == u"add") {
        if (arguments.size() < 3)
            return usageError(QStringLiteral("add takes FEED and at least one MEDIA file"));
        if (arguments.mid(1).contains(QString()))
            return usageError(QStringLiteral("a file name is empty"));
        return add(arguments[1], arguments.mid(2), urlBase);
    }
    return usageError(QStringLiteral("unknown command '%1'").arg(command));
}
