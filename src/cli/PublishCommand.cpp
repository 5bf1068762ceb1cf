#include "PublishCommand.h"

#include "JsonOutput.h"
#include "publish/PublishPlan.h"
#include "publish/PublishSettings.h"
#include "publish/PublishTarget.h"
#include "publish/PublishVerifier.h"
#include "publish/Publisher.h"
#include "publish/RemoteStoreFactory.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QUrl>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {
constexpr int ExitOk = 0;
constexpr int ExitRefused = 1;
constexpr int ExitUsage = 2;

constexpr char Usage[] =
    "Usage: brindlewood-feed publish FEED --to TARGET --public-url URL [options]\n"
    "\n"
    "Uploads the media files that FEED's enclosures name under URL, then FEED itself,\n"
    "each under a temporary name renamed into place, so the feed online is always\n"
    "the old one or the whole new one.\n"
    "\n"
    "  --to TARGET         sftp://USER@HOST[:PORT]/DIR/ (/~/DIR/ in the login's home),\n"
    "                      s3://BUCKET/PREFIX/ or ftps://USER@HOST[:PORT]/DIR/\n"
    "  --public-url URL    the address of the target folder on the web\n"
    "  --media-dir DIR     where the media files are (default: FEED's folder)\n"
    "  --identity FILE     SFTP: the private key (default: ssh-agent, ~/.ssh/id_*)\n"
    "  --known-hosts FILE  SFTP: the host keys (default: ~/.ssh/known_hosts)\n"
    "  --endpoint URL      S3: a service other than AWS, addressed path-style\n"
    "  --region R          S3: the region (default: AWS_REGION, else us-east-1)\n"
    "  --ca-file FILE      FTPS and S3: certificates of a private authority\n"
    "  --allow-plain-ftp   accept an unencrypted ftp:// target\n"
    "  --replace-media     replace published media whose size differs\n"
    "  --verify            fetch the feed and check each new media file online\n"
    "  --dry-run           check everything and list what would be sent\n"
    "  --json              print what was sent, skipped and verified as JSON\n"
    "\n"
    "Secrets come from the environment: AWS_ACCESS_KEY_ID, AWS_SECRET_ACCESS_KEY,\n"
    "AWS_SESSION_TOKEN for S3, BRINDLEWOOD_FTP_PASSWORD for FTPS.\n"
    "\n"
    "Exit status: 0 published (or, with --dry-run, nothing in the way), 1 refused or\n"
    "failed with the old feed still online (or verification failed), 2 usage error.\n";

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) {
    interrupted.store(true);
}

void printError(const QString &text) {
    std::fprintf(stderr, "brindlewood-feed: %s\n", text.toLocal8Bit().constData());
}

int usageError(const QString &text) {
    printError(text);
    std::fputs("Try 'brindlewood-feed publish --help'.\n", stderr);
    return ExitUsage;
}

QString sizeText(qint64 bytes) {
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(double(bytes) / 1024, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024 * 1024), 0, 'f', 1);
}

// A line that rewrites itself on a terminal, at most ten times a second.
class TerminalProgress {
public:
    void show(const Publisher::Progress &progress) {
        if (!m_clock.isValid())
            m_clock.start();
        const bool done = progress.totalSent == progress.totalSize;
        if (!done && m_shown.isValid() && !m_shown.hasExpired(100))
            return;
        m_shown.start();
        const double seconds = std::max<double>(0.001, double(m_clock.elapsed()) / 1000);
        const QString line =
            QStringLiteral("[%1/%2] %3 %4 of %5, total %6 of %7, %8/s")
                .arg(progress.fileNumber)
                .arg(progress.fileCount)
                .arg(progress.file, sizeText(progress.fileSent), sizeText(progress.fileSize),
                     sizeText(progress.totalSent), sizeText(progress.totalSize),
                     sizeText(qint64(double(progress.totalSent) / seconds)));
        std::fprintf(stderr, "\r%s\033[K", line.toLocal8Bit().constData());
        m_dirty = true;
    }
    void finish() {
        if (m_dirty)
            std::fputs("\r\033[K", stderr);
        m_dirty = false;
    }

private:
    QElapsedTimer m_clock;
    QElapsedTimer m_shown;
    bool m_dirty = false;
};

void printJson(const PublishTarget &target, const PublishPlan &plan, bool dryRun,
               const Publisher::Report &report, const QList<PublishVerifier::Check> &checks) {
    JsonOutput out(stdout);
    out.raw("{\"target\": ");
    out.string(target.text());
    out.raw(", \"feed\": ");
    out.string(plan.feedName());
    out.raw(", \"dryRun\": ");
    out.raw(dryRun ? "true" : "false");
    out.raw(", \"published\": ");
    out.raw(report.published ? "true" : "false");
    out.raw(",\n \"sent\": [");
    bool first = true;
    for (const Publisher::Sent &sent : report.sent) {
        out.raw(first ? "\n  {\"path\": " : ",\n  {\"path\": ");
        first = false;
        out.string(sent.relative);
        out.raw(", \"bytes\": ");
        out.number(sent.size);
        out.raw(", \"feed\": ");
        out.raw(sent.isFeed ? "true" : "false");
        out.raw(", \"replaced\": ");
        out.raw(sent.replaced ? "true" : "false");
        out.raw("}");
    }
    out.raw("],\n \"skipped\": [");
    first = true;
    for (const Publisher::Skipped &skipped : report.skipped) {
        out.raw(first ? "\n  {\"path\": " : ",\n  {\"path\": ");
        first = false;
        out.string(skipped.relative);
        out.raw(", \"reason\": ");
        out.string(skipped.reason);
        out.raw("}");
    }
    out.raw("],\n \"verified\": [");
    first = true;
    for (const PublishVerifier::Check &check : checks) {
        out.raw(first ? "\n  {\"url\": " : ",\n  {\"url\": ");
        first = false;
        out.string(check.url);
        out.raw(", \"check\": ");
        out.string(check.what);
        out.raw(", \"passed\": ");
        out.raw(check.passed ? "true" : "false");
        out.raw(", \"detail\": ");
        out.string(check.detail);
        out.raw("}");
    }
    out.raw("],\n \"refusals\": [");
    first = true;
    for (const QString &refusal : report.refusals) {
        out.raw(first ? "\n  " : ",\n  ");
        first = false;
        out.string(refusal);
    }
    out.raw("]}\n");
    out.flush();
}

void printText(const PublishTarget &target, const PublishPlan &plan, bool dryRun,
               const Publisher::Report &report, const QList<PublishVerifier::Check> &checks) {
    QString text;
    for (const Publisher::Skipped &skipped : report.skipped)
        text += QStringLiteral("skipped %1 (%2)\n").arg(skipped.relative, skipped.reason);
    for (const Publisher::Sent &sent : report.sent)
        text +=
            QStringLiteral("%1 %2 (%3 bytes%4)\n")
                .arg(dryRun ? QStringLiteral("would send") : QStringLiteral("sent"), sent.relative)
                .arg(sent.size)
                .arg(sent.replaced ? QStringLiteral(", replacing the server's copy") : QString());
    for (const PublishVerifier::Check &check : checks)
        text += QStringLiteral("%1 %2 %3: %4\n")
                    .arg(check.passed ? QStringLiteral("verified") : QStringLiteral("FAILED"),
                         check.what, check.url, check.detail);
    if (report.refusals.isEmpty())
        text += dryRun
                    ? QStringLiteral("Dry run: nothing was sent to %1.\n").arg(target.text())
                    : QStringLiteral("Published %1 to %2.\n").arg(plan.feedName(), target.text());
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

struct Options {
    QString feed;
    QHash<QString, QString> values;
    bool verify = false;
    bool dryRun = false;
    bool json = false;
    bool replaceMedia = false;
    bool allowPlainFtp = false;
};

const QStringList ValueOptions{QStringLiteral("--to"),          QStringLiteral("--public-url"),
                               QStringLiteral("--media-dir"),   QStringLiteral("--identity"),
                               QStringLiteral("--known-hosts"), QStringLiteral("--endpoint"),
                               QStringLiteral("--region"),      QStringLiteral("--ca-file")};

// Returns -1 when the options are good, otherwise the exit status.
int parse(const QStringList &arguments, Options &options) {
    bool optionsEnded = false;
    QStringList positional;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (optionsEnded || !argument.startsWith(u'-')) {
            positional.append(argument);
            continue;
        }
        const qsizetype equals = argument.indexOf(u'=');
        const QString name = equals > 0 ? argument.left(equals) : argument;
        if (ValueOptions.contains(name)) {
            QString value;
            if (equals > 0) {
                value = argument.mid(equals + 1);
            } else {
                if (++i == arguments.size())
                    return usageError(QStringLiteral("%1 needs a value").arg(name));
                value = arguments[i];
            }
            if (value.trimmed().isEmpty())
                return usageError(QStringLiteral("%1 needs a value").arg(name));
            if (options.values.contains(name))
                return usageError(QStringLiteral("%1 is given twice").arg(name));
            options.values.insert(name, value);
        } else if (argument == u"--") {
            optionsEnded = true;
        } else if (argument == u"--help" || argument == u"-h") {
            std::fputs(Usage, stdout);
            return ExitOk;
        } else if (argument == u"--verify") {
            options.verify = true;
        } else if (argument == u"--dry-run") {
            options.dryRun = true;
        } else if (argument == u"--json") {
            options.json = true;
        } else if (argument == u"--replace-media") {
            options.replaceMedia = true;
        } else if (argument == u"--allow-plain-ftp") {
            options.allowPlainFtp = true;
        } else {
            return usageError(QStringLiteral("unknown option '%1'").arg(argument));
        }
    }
    if (positional.size() != 1)
        return usageError(QStringLiteral("publish takes one FEED"));
    options.feed = positional.first();
    if (options.feed.isEmpty())
        return usageError(QStringLiteral("FEED is empty"));
    if (!options.values.contains(QStringLiteral("--to")))
        return usageError(QStringLiteral("publish needs --to TARGET"));
    if (!options.values.contains(QStringLiteral("--public-url")))
        return usageError(QStringLiteral("publish needs --public-url URL"));
    return -1;
}

// Options that only one kind of target reads are refused elsewhere, so a
// mistyped target never silently drops them.
int checkOptionsFitTarget(const Options &options, const PublishTarget &target) {
    const auto only = [&](const char *option, bool fits, const char *kind) {
        if (options.values.contains(QLatin1StringView(option)) && !fits)
            return usageError(QStringLiteral("%1 goes with %2 targets only")
                                  .arg(QLatin1StringView(option), QLatin1StringView(kind)));
        return -1;
    };
    const bool sftp = target.kind == PublishTarget::Kind::Sftp;
    const bool s3 = target.kind == PublishTarget::Kind::S3;
    const bool ftp =
        target.kind == PublishTarget::Kind::Ftps || target.kind == PublishTarget::Kind::Ftp;
    for (const int status :
         {only("--identity", sftp, "sftp://"), only("--known-hosts", sftp, "sftp://"),
          only("--endpoint", s3, "s3://"), only("--region", s3, "s3://"),
          only("--ca-file", s3 || ftp, "ftps:// and s3://")}) {
        if (status >= 0)
            return status;
    }
    if (options.allowPlainFtp && target.kind != PublishTarget::Kind::Ftp)
        return usageError(QStringLiteral("--allow-plain-ftp goes with ftp:// targets only"));
    return -1;
}
} // namespace

int publishCommand(const QStringList &arguments) {
    Options options;
    if (const int status = parse(arguments, options); status >= 0)
        return status;
    QString error;
    const PublishTarget target =
        PublishTarget::parse(options.values.value(QStringLiteral("--to")), &error);
    if (!target.isValid())
        return usageError(QStringLiteral("--to: %1").arg(error));
    if (const int status = checkOptionsFitTarget(options, target); status >= 0)
        return status;
    if (PublishPlan::normalisedPublicUrl(options.values.value(QStringLiteral("--public-url")),
                                         &error)
            .isEmpty())
        return usageError(error);
    const QString mediaDir = options.values.value(QStringLiteral("--media-dir"));
    if (!mediaDir.isEmpty() && !QFileInfo(mediaDir).isDir())
        return usageError(QStringLiteral("--media-dir '%1' is not a folder").arg(mediaDir));

    PublishSettings settings;
    settings.identityFile = options.values.value(QStringLiteral("--identity"));
    settings.knownHostsFile = options.values.value(QStringLiteral("--known-hosts"));
    settings.endpoint = options.values.value(QStringLiteral("--endpoint"));
    settings.region =
        options.values.value(QStringLiteral("--region"), qEnvironmentVariable("AWS_REGION"));
    settings.caFile = options.values.value(QStringLiteral("--ca-file"));
    settings.allowPlainFtp = options.allowPlainFtp;
    settings.accessKeyId = qEnvironmentVariable("AWS_ACCESS_KEY_ID");
    settings.secretAccessKey = qEnvironmentVariable("AWS_SECRET_ACCESS_KEY");
    settings.sessionToken = qEnvironmentVariable("AWS_SESSION_TOKEN");
    settings.ftpPassword = qEnvironmentVariable("BRINDLEWOOD_FTP_PASSWORD");
    if ((target.kind == PublishTarget::Kind::Ftps || target.kind == PublishTarget::Kind::Ftp) &&
        settings.ftpPassword.isEmpty()) {
        printError(QStringLiteral("%1 needs the password in BRINDLEWOOD_FTP_PASSWORD; nothing was "
                                  "sent.")
                       .arg(target.text()));
        return ExitRefused;
    }

    PublishPlan plan;
    if (!plan.read(options.feed, options.values.value(QStringLiteral("--public-url")), mediaDir,
                   &error)) {
        printError(error + QStringLiteral(" Nothing was sent."));
        return ExitRefused;
    }

    std::unique_ptr<RemoteStore> store = RemoteStoreFactory::create(target, settings);
    Publisher publisher(plan, *store);
    publisher.setDryRun(options.dryRun);
    publisher.setReplaceMedia(options.replaceMedia);
    publisher.setCancel(&interrupted);
    TerminalProgress terminal;
    if (::isatty(STDERR_FILENO))
        publisher.setProgress(
            [&](const Publisher::Progress &progress) { terminal.show(progress); });
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    const Publisher::Report report = publisher.run();
    terminal.finish();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);

    QList<PublishVerifier::Check> checks;
    if (report.published && options.verify) {
        const PublishVerifier verifier(settings.caFile);
        checks.append(verifier.feed(plan.publicUrl() +
                                        QString::fromUtf8(QUrl::toPercentEncoding(plan.feedName())),
                                    plan.feedBytes()));
        for (const Publisher::Sent &sent : report.sent) {
            if (sent.isFeed)
                continue;
            QByteArray path;
            for (const QString &segment : sent.relative.split(u'/'))
                path += (path.isEmpty() ? "" : "/") + QUrl::toPercentEncoding(segment);
            checks.append(verifier.media(plan.publicUrl() + QString::fromUtf8(path), sent.size));
        }
    }

    if (options.json)
        printJson(target, plan, options.dryRun, report, checks);
    else
        printText(target, plan, options.dryRun, report, checks);
    if (!report.refusals.isEmpty()) {
        for (const QString &refusal : report.refusals)
            printError(refusal);
        const bool mediaSent = !report.sent.isEmpty();
        printError(mediaSent ? QStringLiteral("The feed on the server was not changed.")
                             : QStringLiteral("Nothing was sent; the feed on the server was not "
                                              "changed."));
        return ExitRefused;
    }
    for (const PublishVerifier::Check &check : std::as_const(checks)) {
        if (!check.passed) {
            printError(QStringLiteral("the feed was published, but its check online failed: %1 "
                                      "%2: %3")
                           .arg(check.what, check.url, check.detail));
            return ExitRefused;
        }
    }
    return ExitOk;
}
