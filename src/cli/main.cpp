// brindlewood-feed: the editor's loading and saving for scripts, no window.

#include "BuildConfig.h"
#include "CollectedMessages.h"
#include "CollectedReports.h"
#include "FixedPathDialogs.h"
#include "JsonOutput.h"
#include "PublishCommand.h"
#include "TerminalProgress.h"
#include "WebFeed.h"
#include "feed/EpisodeOrder.h"
#include "feed/FeedCheck.h"
#include "feed/FeedLock.h"
#include "feed/LoadPodcast.h"
#include "feed/MediaEpisode.h"
#include "feed/MediaFile.h"
#include "feed/RepairPodcast.h"
#include "feed/SavePodcast.h"
#include "model/PodcastDocument.h"
#include "publish/FeedDownload.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <cstdio>

namespace {
constexpr int ExitOk = 0;
constexpr int ExitRefused = 1;
constexpr int ExitUsage = 2;

constexpr char Usage[] =
    "Usage: brindlewood-feed dump FILE|URL [--repair]\n"
    "       brindlewood-feed resave IN OUT [--repair [--json]]\n"
    "       brindlewood-feed check FILE|URL [--json] [--repair]\n"
    "       brindlewood-feed add FEED MEDIA... [--url-base URL]\n"
    "       brindlewood-feed publish FEED --to TARGET --public-url URL [options]\n"
    "       brindlewood-feed --help | --version\n"
    "\n"
    "  dump FILE      Load FILE into an empty podcast as \"Load Podcast.xml\" does and\n"
    "                 print it as JSON: {\"fields\": [12 texts], \"episodes\": [[13 texts],\n"
    "                 ...], \"channelExtra\": XML, \"episodeExtras\": [XML per episode],\n"
    "                 \"hiddenItems\": XML, \"errors\": [{\"location\", \"step\", "
    "\"description\"}],\n"
    "                 \"message\": null or \"Fail to load XML.\", \"detail\": null or\n"
    "                 why it failed}.\n"
    "  resave IN OUT  Load IN into an empty podcast and save it to OUT as the editor\n"
    "                 saves; OUT is left untouched when the feed is refused or OUT\n"
    "                 cannot take it (not a regular file, read-only, disk full).\n"
    "  check FILE [--json]\n"
    "                 Load FILE as the editor does and check it against the rules of\n"
    "                 Apple Podcasts, the Podcast Index and RSS 2.0; one finding a\n"
    "                 line: severity, rule, where, message and source. Past 100\n"
    "                 findings of one rule, a line \"and N more like this\" (in JSON\n"
    "                 \"more\": N on the last one shown) stands for the rest. --json\n"
    "                 prints {\"findings\": [...], \"errors\": N, \"warnings\": N}.\n"
    "  --repair       When FILE or IN is not well-formed XML, read a repaired copy:\n"
    "                 text before the declaration or the root dropped, bytes that\n"
    "                 are not UTF-8 read as Windows-1252, undeclared prefixes bound,\n"
    "                 bare & escaped, HTML's named references replaced. The file\n"
    "                 itself is not changed. The changes go to stderr, or with\n"
    "                 --json (dump always) into \"repairs\": [{\"line\", \"was\",\n"
    "                 \"now\", \"what\"}]; empty when the file needed none.\n"
    "  add FEED MEDIA...\n"
    "                 Load FEED, add one episode per audio or video file (title,\n"
    "                 length, type, duration, date, GUID; address, author, keywords,\n"
    "                 explicit and category as in the newest episode) where the newest\n"
    "                 are (on top of a newest-first feed, else at the end), and save\n"
    "                 FEED as the editor saves. FEED is left untouched on any failure.\n"
    "                 A file is media by its content, not its name; the feed is locked\n"
    "                 against other saves meanwhile, and another run waits up to 5 s.\n"
    "  --url-base URL The new enclosure addresses are URL/ plus the file name,\n"
    "                 instead of the previous episode's folder. URL is an http or\n"
    "                 https address without blanks, query (?) or fragment (#).\n"
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

// What --repair did; null where it was not given.
struct Repairs {
    bool used = false; // a repaired copy was read
    QList<RepairPodcast::Change> changes;
    QString error;
};

// Loads as "Load Podcast.xml" does, reports included; with --repair a file
// that is refused is read through the repair.
bool load(const QString &path, PodcastDocument &document, CollectedMessages &messages,
          CollectedReports &reports, Repairs *repairs = nullptr) {
    const TerminalProgress progress("Reading");
    if (!repairs)
        return loadPodcastFile(path, document, messages, reports);
    RepairPodcast::Outcome outcome = RepairPodcast::loadOrRepair(path, document, messages, reports);
    repairs->used = outcome.repaired;
    repairs->changes = std::move(outcome.changes);
    repairs->error = std::move(outcome.repairError);
    return outcome.loaded;
}

// What the repair did, on stderr; the list too unless it goes into JSON.
void printRepairs(const Repairs *repairs, const QString &path, bool listed) {
    if (!repairs)
        return;
    if (!repairs->error.isEmpty())
        printError(QStringLiteral("%1 cannot be repaired: %2").arg(path, repairs->error));
    if (!repairs->used)
        return;
    const qsizetype count = repairs->changes.size();
    printError(QStringLiteral("%1 is not well-formed XML; a repaired copy was read (%2 %3).")
                   .arg(path)
                   .arg(count)
                   .arg(count == 1 ? QStringLiteral("change") : QStringLiteral("changes")));
    if (listed)
        return;
    for (const RepairPodcast::Change &change : repairs->changes)
        printError(QStringLiteral("%1: %2").arg(path, XmlRepair::describe(change)));
}

void printRepairsJson(JsonOutput &out, const Repairs &repairs) {
    out.raw("\"repairs\": [");
    bool first = true;
    for (const RepairPodcast::Change &change : repairs.changes) {
        out.raw(first ? "\n  {\"line\": " : ",\n  {\"line\": ");
        first = false;
        out.number(change.line);
        out.raw(", \"was\": ");
        out.string(change.was);
        out.raw(", \"now\": ");
        out.string(change.now);
        out.raw(", \"what\": ");
        out.string(change.what);
        out.raw("}");
    }
    out.raw("]");
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
int dump(const QString &path, const QString &shown, Repairs *repairs) {
    PodcastDocument document;
    CollectedMessages messages;
    CollectedReports reports;
    const bool loaded = load(path, document, messages, reports, repairs);

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
            out.utf8String(episode.view(c));
        }
        out.raw("]");
    }
    // Kept content as XML text, in list order.
    out.raw("],\n \"channelExtra\": ");
    out.utf8String(document.channelExtra());
    out.raw(",\n \"episodeExtras\": [");
    first = true;
    for (const Episode &episode : document.episodes()) {
        out.raw(first ? "\n  " : ",\n  ");
        first = false;
        out.utf8Lines(episode.extraPieces());
    }
    out.raw("],\n \"hiddenItems\": ");
    out.utf8String(document.hiddenItems());
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
    // Why, so that a script sees the reason a load failed, not only that it did.
    out.raw(",\n \"detail\": ");
    if (messages.notices().isEmpty() || messages.notices().first().detail.isEmpty())
        out.raw("null");
    else
        out.string(messages.notices().first().detail);
    if (repairs) {
        out.raw(",\n ");
        printRepairsJson(out, *repairs);
    }
    out.raw("}\n");
    if (!out.flush()) {
        printError(QStringLiteral("cannot write the output"));
        return ExitRefused;
    }
    printNotices(messages, shown);
    printRepairs(repairs, shown, true);
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

int check(const QString &path, bool json, const QString &shown, Repairs *repairs) {
    PodcastDocument document;
    CollectedMessages messages;
    CollectedReports reports;
    if (!load(path, document, messages, reports, repairs)) {
        printNotices(messages, shown);
        printRepairs(repairs, shown, json);
        return ExitUsage;
    }
    printReports(reports);
    printRepairs(repairs, shown, json);

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
            if (finding.more > 0) {
                out.raw(", \"more\": ");
                out.number(finding.more);
            }
            out.raw("}");
        }
        out.raw("],\n \"errors\": ");
        out.number(errors);
        out.raw(", \"warnings\": ");
        out.number(FeedCheck::totalCount(findings) - errors);
        if (repairs) {
            out.raw(",\n ");
            printRepairsJson(out, *repairs);
        }
        out.raw("}\n");
    } else {
        // As compilers write theirs, so editors and scripts can read them.
        for (const FeedFinding &finding : findings) {
            const QString line =
                QStringLiteral("%1: %2: %3: %4 [%5; %6]\n")
                    .arg(shown, finding.place.text(), FeedFinding::severityText(finding.severity),
                         finding.message, finding.rule, finding.source);
            out.raw(line.toUtf8().toStdString());
            if (finding.more > 0)
                out.raw(QStringLiteral("%1: %2: %3 [%4]\n")
                            .arg(path, FeedFinding::severityText(finding.severity),
                                 finding.moreText(), finding.rule)
                            .toUtf8()
                            .toStdString());
        }
    }
    if (!out.flush()) {
        printError(QStringLiteral("cannot write the output"));
        return ExitRefused;
    }
    return errors > 0 ? ExitRefused : ExitOk;
}

// Loads as the editor does and prints what went wrong; false when refused.
bool loadReported(const QString &path, PodcastDocument &document, Repairs *repairs = nullptr,
                  bool json = false) {
    CollectedMessages messages;
    CollectedReports reports;
    const bool loaded = load(path, document, messages, reports, repairs);
    printReports(reports);
    if (!loaded)
        printNotices(messages, path);
    printRepairs(repairs, path, json);
    return loaded;
}

// Saves with the editor's save to `path` and prints what went wrong.
int saveReported(const PodcastDocument &document, const QString &path) {
    FixedPathDialogs dialogs(path);
    CollectedMessages messages;
    CollectedReports reports;
    SaveServices services{dialogs, messages, reports};
    bool saved = false;
    {
        const TerminalProgress progress("Saving");
        saved = SavePodcast(document, services);
    }
    printReports(reports);
    printNotices(messages, path);
    return saved ? ExitOk : ExitRefused;
}

// Locks the feed about to be rewritten for the whole load, change and save;
// false (with the reason printed) when another program holds it.
bool lockReported(FeedLock &lock, const QString &path) {
    const QString shown = QDir::toNativeSeparators(path);
    switch (lock.lock(path)) {
    case FeedLock::State::Busy:
        printError(
            QStringLiteral("%1: %2; %1 was not changed.").arg(shown, FeedLock::busyReason()));
        return false;
    case FeedLock::State::Unsupported:
        printError(QStringLiteral("%1: cannot be locked (%2); going on without protection from "
                                  "another program saving it at the same time.")
                       .arg(shown, lock.problem()));
        return true;
    case FeedLock::State::Locked:
    case FeedLock::State::NothingToLock:
        return true;
    }
    return true;
}

int resave(const QString &in, const QString &out, Repairs *repairs, bool json) {
    // OUT is locked before IN is read: resaving a feed in place is then one
    // step that no other save can come between.
    FeedLock lock;
    if (!lockReported(lock, out))
        return ExitRefused;
    PodcastDocument document;
    const bool loaded = loadReported(in, document, repairs, json);
    if (json && repairs) {
        JsonOutput output(stdout);
        output.raw("{");
        printRepairsJson(output, *repairs);
        output.raw("}\n");
        if (!output.flush())
            printError(QStringLiteral("cannot write the output"));
    }
    if (!loaded)
        return ExitRefused;
    return saveReported(document, out);
}

// The notes on an episode that was made but is not complete.
void printMediaNotes(const MediaEpisode &made, const QString &shown) {
    if (made.readCutShort)
        printError(QStringLiteral("%1: reading stopped at its limit of %2 before the file could be "
                                  "judged; Duration is left empty.")
                       .arg(shown, MediaEpisode::budgetText()));
    else if (!made.durationRead)
        printError(QStringLiteral("%1: the duration could not be read; Duration is left empty.")
                       .arg(shown));
    if (made.droppedCharacters > 0)
        printError(QStringLiteral("%1: %2 character(s) that XML cannot hold were left out of the "
                                  "title.")
                       .arg(shown)
                       .arg(made.droppedCharacters));
    if (made.urlMissing())
        printError(QStringLiteral("%1: URL is left empty: there is no earlier enclosure address to "
                                  "follow and no --url-base was given.")
                       .arg(shown));
}

int add(const QString &feed, const QList<QByteArray> &mediaFiles, const QString &urlBase) {
    FeedLock lock;
    if (!lockReported(lock, feed))
        return ExitRefused;
    PodcastDocument document;
    if (!loadReported(feed, document))
        return ExitRefused;

    // Every file is read before anything is appended: one bad name among
    // many must not leave a feed with half the episodes.
    const QDateTime now = BuildDate::systemNow();
    QList<Episode> added;
    const qsizetype newest = EpisodeOrder::newest(document.episodes());
    for (const QByteArray &path : mediaFiles) {
        const QString shown = QDir::toNativeSeparators(QFile::decodeName(path));
        const Episode *previous = !added.isEmpty() ? &added.last()
                                  : newest >= 0    ? &document.episode(newest + 1)
                                                   : nullptr;
        MediaEpisode made =
            MediaEpisode::fromFile(path, previous, now.addSecs(added.size()), urlBase);
        if (!made.isValid()) {
            printError(QStringLiteral("%1: %2; %3 was not changed.")
                           .arg(shown, made.error, QDir::toNativeSeparators(feed)));
            return ExitRefused;
        }
        printMediaNotes(made, shown);
        added.append(std::move(made.episode));
    }
    // Where the newest episodes are: on top of a newest-first feed.
    const qsizetype number = EpisodeOrder::place(document.episodes(), added);
    document.insertEpisodes(number, std::move(added));
    return saveReported(document, feed);
}

// A value as it can be shown on one line: line breaks and tabs as escapes.
QString shownValue(QString value) {
    return value.replace(u'\n', QStringLiteral("\\n"))
        .replace(u'\r', QStringLiteral("\\r"))
        .replace(u'\t', QStringLiteral("\\t"));
}

// The loading and saving code takes names as text; a name that does not come
// back to the same bytes would name another file (or none).
bool nameRoundTrips(const QByteArray &raw) {
    return QFile::encodeName(QFile::decodeName(raw)) == raw;
}
} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    // Options are answered or refused wherever they stand, so an option
    // never becomes a file name; a name that begins with '-' follows "--".
    // File names are kept as the bytes given: one that is not UTF-8 still
    // names its file.
    QStringList arguments;
    QList<QByteArray> rawArguments;
    QString urlBase;
    bool urlBaseGiven = false;
    bool optionsEnded = false;
    bool json = false;
    if (argc > 1 && QByteArrayView(argv[1]) == "publish")
        return publishCommand(QCoreApplication::arguments().mid(2));
    QList<QByteArray> givenRaw;
    for (int i = 1; i < argc; ++i)
        givenRaw.append(QByteArray(argv[i]));
    QStringList given;
    for (const QByteArray &raw : std::as_const(givenRaw))
        given.append(QFile::decodeName(raw));
    bool repair = false;
    for (qsizetype i = 0; i < given.size(); ++i) {
        const QString &argument = given[i];
        if (optionsEnded || !argument.startsWith(u'-')) {
            arguments.append(argument);
            rawArguments.append(givenRaw[i]);
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
            if (const QString problem = MediaFile::urlBaseProblem(urlBase); !problem.isEmpty())
                return usageError(
                    QStringLiteral("--url-base '%1': %2.").arg(shownValue(urlBase), problem));
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
        } else if (argument == u"--repair") {
            repair = true;
        } else {
            return usageError(QStringLiteral("unknown option '%1'").arg(argument));
        }
    }
    if (arguments.isEmpty())
        return usageError(QStringLiteral("no command given"));

    const QString &command = arguments.first();
    if (repair && command != u"dump" && command != u"check" && command != u"resave")
        return usageError(QStringLiteral("--repair goes with dump, check and resave only"));
    // dump prints JSON anyway; resave prints only what --repair did.
    if (json && command != u"check" && command != u"dump" && !(command == u"resave" && repair))
        return usageError(QStringLiteral("--json goes with check, dump and resave --repair only"));
    Repairs repairs;
    Repairs *const repairsAsked = repair ? &repairs : nullptr;
    if (urlBaseGiven && command != u"add")
        return usageError(QStringLiteral("--url-base is an option of add only"));
    // Media names go on as bytes; feed names pass through text.
    const qsizetype feedNames = command == u"add" ? 2 : arguments.size();
    for (qsizetype i = 1; i < std::min(feedNames, arguments.size()); ++i) {
        if (!nameRoundTrips(rawArguments[i])) {
            printError(QStringLiteral("%1: a feed's file name must be valid UTF-8; rename the "
                                      "file and try again. Nothing was changed.")
                           .arg(QDir::toNativeSeparators(arguments[i])));
            return ExitRefused;
        }
    }
    if (command == u"dump") {
        if (arguments.size() != 2)
            return usageError(QStringLiteral("dump takes one FILE"));
        if (arguments[1].isEmpty())
            return usageError(QStringLiteral("FILE is empty"));
        if (FeedDownload::isWebAddress(arguments[1]))
            return withWebFeed(arguments[1], ExitRefused, [&](const QString &path) {
                return dump(path, arguments[1], repairsAsked);
            });
        return dump(arguments[1], arguments[1], repairsAsked);
    }
    if (command == u"resave") {
        if (arguments.size() != 3)
            return usageError(QStringLiteral("resave takes IN and OUT"));
        if (arguments[1].isEmpty())
            return usageError(QStringLiteral("IN is empty"));
        if (arguments[2].trimmed().isEmpty())
            return usageError(QStringLiteral("OUT is empty"));
        return resave(arguments[1], arguments[2], repairsAsked, json);
    }
    if (command == u"check") {
        if (arguments.size() != 2)
            return usageError(QStringLiteral("check takes one FILE"));
        if (arguments[1].isEmpty())
            return usageError(QStringLiteral("FILE is empty"));
        if (FeedDownload::isWebAddress(arguments[1]))
            return withWebFeed(arguments[1], ExitUsage, [&](const QString &path) {
                return check(path, json, arguments[1], repairsAsked);
            });
        return check(arguments[1], json, arguments[1], repairsAsked);
    }
    if (command == u"add") {
        if (arguments.size() < 3)
            return usageError(QStringLiteral("add takes FEED and at least one MEDIA file"));
        if (arguments.mid(1).contains(QString()))
            return usageError(QStringLiteral("a file name is empty"));
        return add(arguments[1], rawArguments.mid(2), urlBase);
    }
    return usageError(QStringLiteral("unknown command '%1'").arg(command));
}
