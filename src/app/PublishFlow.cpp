#include "PublishFlow.h"

#include "FeedFileCommands.h"
#include "PublishMemory.h"
#include "PublishRun.h"
#include "dialogs/PublishDialog.h"
#include "dialogs/PublishProgressDialog.h"
#include "feed/MessageService.h"
#include "model/PodcastDocument.h"
#include "platform/KeychainSecretStore.h"
#include "publish/PublishPlan.h"
#include "publish/PublishVerifier.h"
#include "publish/RemoteStoreFactory.h"
#include "publish/SshKeyFile.h"

#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QUrl>
#include <QWidget>

namespace {
// The keyring entry of a login: the same login on another feed shares it.
QString secretKey(const PublishTarget &target, const PublishChoices &choices) {
    if (target.kind == PublishTarget::Kind::S3)
        return QStringLiteral("s3://%1@%2")
            .arg(choices.accessKeyId,
                 choices.endpoint.isEmpty() ? QStringLiteral("amazonaws.com") : choices.endpoint);
    return QStringLiteral("ftp://%1@%2:%3")
        .arg(target.user, target.host)
        .arg(target.port != 0 ? target.port : 21);
}

QString encodedPath(const QString &relative) {
    QStringList segments;
    for (const QString &segment : relative.split(u'/'))
        segments.append(QString::fromUtf8(QUrl::toPercentEncoding(segment)));
    return segments.join(u'/');
}
} // namespace

PublishFlow::PublishFlow(QWidget &window, PodcastDocument &document, FeedFileCommands &files,
                         MessageService &messages)
    : QObject(&window)
    , m_window(window)
    , m_document(document)
    , m_files(files)
    , m_messages(messages) {
    setObjectName(QStringLiteral("PublishFlow"));
}

PublishFlow::~PublishFlow() = default;

void PublishFlow::setServices(Services services) {
    m_services = std::move(services);
}

SecretStore &PublishFlow::secrets() {
    if (!m_services.secrets)
        m_services.secrets = std::make_shared<KeychainSecretStore>();
    return *m_services.secrets;
}

bool PublishFlow::ensureSaved() {
    if (!m_files.path().isEmpty() && !m_document.DocumentChanged())
        return true;
    const QString text =
        m_files.path().isEmpty()
            ? QStringLiteral("Publishing sends the feed as it is saved, and this podcast has not "
                             "been saved yet. Save it now?")
            : QStringLiteral("Publishing sends the feed as it is saved, and %1 has unsaved "
                             "changes. Save them now?")
                  .arg(QFileInfo(m_files.path()).fileName());
    if (m_messages.question(text, QStringLiteral("Publish"), MessageService::Buttons::YesNo,
                            MessageService::Answer::Yes) != MessageService::Answer::Yes)
        return false;
    m_files.save();
    return !m_files.path().isEmpty() && !m_document.DocumentChanged();
}

void PublishFlow::publish() {
    if (!ensureSaved())
        return;
    const QString feed = m_files.path();
    PublishDialog dialog(&m_window);
    dialog.setKeyringAvailable(secrets().isAvailable());
    dialog.setChoices(PublishMemory::recall(feed));
    dialog.setTestConnection(
        [this, &dialog](const PublishChoices &choices) { testConnection(dialog, choices); });
    const int result = m_services.showDialog ? m_services.showDialog(dialog) : dialog.exec();
    if (result != QDialog::Accepted)
        return;
    const PublishChoices choices = dialog.choices();
    PublishMemory::remember(feed, choices);

    QString error;
    PublishTarget target;
    PublishSettings settings;
    if (!prepare(choices, &target, &settings))
        return;
    PublishPlan plan;
    if (!plan.read(feed, choices.publicUrl, choices.mediaFolder, &error)) {
        m_messages.notice(error + QStringLiteral(" Nothing was sent."));
        return;
    }

    Publisher::Report report;
    QStringList checks;
    bool checksPassed = true;
    PublishRun run(m_window, m_services.progressShown);
    run.run(QStringLiteral("Connecting to %1…").arg(target.text()), [&] {
        std::unique_ptr<RemoteStore> store = createStore(target, settings, run);
        Publisher publisher(plan, *store);
        publisher.setCancel(&run.cancel());
        publisher.setProgress([&](const Publisher::Progress &progress) { run.progress(progress); });
        publisher.setConfirmReplace([&](const QList<Publisher::Skipped> &replaced) {
            return run.ask([&] { return confirmReplace(replaced); });
        });
        report = publisher.run();
        if (!report.published || !choices.verify)
            return;
        run.status(QStringLiteral("Checking what listeners get…"));
        const PublishVerifier verifier(settings.caFile);
        QList<PublishVerifier::Check> found;
        found.append(
            verifier.feed(plan.publicUrl() + encodedPath(plan.feedName()), plan.feedBytes()));
        for (const Publisher::Sent &sent : std::as_const(report.sent)) {
            if (!sent.isFeed)
                found.append(
                    verifier.media(plan.publicUrl() + encodedPath(sent.relative), sent.size));
        }
        for (const PublishVerifier::Check &check : std::as_const(found)) {
            checks.append(
                QStringLiteral("%1 %2 %3: %4")
                    .arg(check.passed ? QStringLiteral("Verified") : QStringLiteral("FAILED"),
                         check.what, check.url, check.detail));
            checksPassed = checksPassed && check.passed;
        }
    });
    if (report.published)
        keepTypedSecret();
    showOutcome(target, plan, report, checks, checksPassed);
}

void PublishFlow::testConnection(QWidget &dialog, const PublishChoices &choices) {
    PublishTarget target;
    PublishSettings settings;
    if (!prepare(choices, &target, &settings))
        return;
    RemoteStore::Failure failure;
    // Above the publish dialog, which stays open.
    PublishRun run(dialog, m_services.progressShown);
    run.run(QStringLiteral("Connecting to %1…").arg(target.text()), [&] {
        std::unique_ptr<RemoteStore> store = createStore(target, settings, run);
        failure = store->open();
    });
    if (failure) {
        m_messages.notice(
            QStringLiteral("The connection to %1 failed: %2").arg(target.text(), failure.text));
        return;
    }
    keepTypedSecret();
    m_messages.notice(QStringLiteral("Connected to %1.").arg(target.text()));
}

// The target read, plain FTP confirmed and the settings with their secrets;
// false when the user stopped on the way.
bool PublishFlow::prepare(const PublishChoices &choices, PublishTarget *target,
                          PublishSettings *settings) {
    QString error;
    *target = PublishTarget::parse(choices.target, &error);
    return confirmPlainFtp(*target) && settingsFor(*target, choices, settings);
}

bool PublishFlow::confirmPlainFtp(const PublishTarget &target) {
    if (target.kind != PublishTarget::Kind::Ftp)
        return true;
    return m_messages.question(
               QStringLiteral("%1 is plain FTP: the password and the files travel unencrypted, "
                              "and anyone on the way can read or change them. Use it anyway?")
                   .arg(target.text()),
               QStringLiteral("Plain FTP"), MessageService::Buttons::YesNo,
               MessageService::Answer::No) == MessageService::Answer::Yes;
}

std::optional<QString> PublishFlow::secretFor(const QString &key, const PublishChoices &choices,
                                              const QString &label) {
    m_typedKey.clear();
    m_typedSecret.clear();
    if (!choices.secret.isEmpty()) {
        if (choices.rememberSecret && secrets().isAvailable()) {
            m_typedKey = key;
            m_typedSecret = choices.secret;
        }
        return choices.secret;
    }
    if (secrets().isAvailable()) {
        const QString kept = secrets().read(key);
        if (!kept.isNull())
            return kept;
    }
    return askSecret(label);
}

std::optional<QString> PublishFlow::askSecret(const QString &label) {
    if (m_services.askSecret)
        return m_services.askSecret(label);
    bool ok = false;
    const QString text = QInputDialog::getText(&m_window, QStringLiteral("Publish"), label,
                                               QLineEdit::Password, QString(), &ok);
    return ok ? std::optional<QString>(text) : std::nullopt;
}

void PublishFlow::keepTypedSecret() {
    if (!m_typedKey.isEmpty() && !secrets().write(m_typedKey, m_typedSecret))
        m_messages.notice(QStringLiteral("The keyring did not keep the password; it will be "
                                         "asked for next time."));
    m_typedKey.clear();
    m_typedSecret.clear();
}

bool PublishFlow::settingsFor(const PublishTarget &target, const PublishChoices &choices,
                              PublishSettings *settings) {
    settings->identityFile = choices.identityFile;
    settings->endpoint = choices.endpoint;
    settings->region = choices.region;
    settings->accessKeyId = choices.accessKeyId;
    settings->caFile = choices.caFile;
    settings->allowPlainFtp = target.kind == PublishTarget::Kind::Ftp;
    switch (target.kind) {
    case PublishTarget::Kind::Sftp: {
        // Without an agent, libssh can use an encrypted key only with its
        // passphrase; one is asked for and used for every key it tries.
        QStringList keys;
        if (!choices.identityFile.isEmpty())
            keys.append(choices.identityFile);
        else if (qEnvironmentVariableIsEmpty("SSH_AUTH_SOCK"))
            keys = SshKeyFile::defaultKeys();
        const auto needsPassphrase =
            m_services.keyNeedsPassphrase
                ? m_services.keyNeedsPassphrase
                : std::function<bool(const QString &)>(&SshKeyFile::needsPassphrase);
        for (const QString &key : std::as_const(keys)) {
            if (!needsPassphrase(key))
                continue;
            // Asked for each time: a passphrase is not kept.
            const std::optional<QString> passphrase =
                askSecret(QStringLiteral("Passphrase for the SSH key %1:")
                              .arg(QDir::toNativeSeparators(key)));
            if (!passphrase)
                return false;
            settings->keyPassphrase = *passphrase;
            break;
        }
        return true;
    }
    case PublishTarget::Kind::S3: {
        const std::optional<QString> secret = secretFor(
            secretKey(target, choices), choices,
            QStringLiteral("Secret key for the S3 access key %1:").arg(choices.accessKeyId));
        if (!secret)
            return false;
        settings->secretAccessKey = *secret;
        return true;
    }
    case PublishTarget::Kind::Ftps:
    case PublishTarget::Kind::Ftp: {
        const std::optional<QString> password =
            secretFor(secretKey(target, choices), choices,
                      QStringLiteral("Password for %1@%2:").arg(target.user, target.host));
        if (!password)
            return false;
        settings->ftpPassword = *password;
        return true;
    }
    case PublishTarget::Kind::Invalid:
        break;
    }
    return false;
}

std::unique_ptr<RemoteStore> PublishFlow::createStore(const PublishTarget &target,
                                                      const PublishSettings &settings,
                                                      PublishRun &run) {
    // Runs on the worker: the question about an unknown host goes to the
    // GUI thread and the worker waits for the answer.
    SftpStore::TrustHost trustHost = [this, &run](const QString &host, const QString &fingerprint) {
        return run.ask([&] {
            return m_messages.question(
                       QStringLiteral("The host key of %1 is not known yet. Its SHA256 "
                                      "fingerprint is:\n\n%2\n\nCheck it with the server's "
                                      "administrator. Connect and remember this key?")
                           .arg(host, fingerprint),
                       QStringLiteral("Unknown Host"), MessageService::Buttons::YesNo,
                       MessageService::Answer::No) == MessageService::Answer::Yes;
        });
    };
    return m_services.createStore ? m_services.createStore(target, settings, trustHost)
                                  : RemoteStoreFactory::create(target, settings, trustHost);
}

bool PublishFlow::confirmReplace(const QList<Publisher::Skipped> &replaced) {
    QStringList lines;
    for (const Publisher::Skipped &media : replaced)
        lines.append(
            QStringLiteral("%1 (%2 bytes on the server)").arg(media.relative, media.reason));
    return m_messages.questionWithDetail(
               QStringLiteral("The server already has %1 published media file(s) of another "
                              "size. Listeners may have downloaded them. Replace them?")
                   .arg(replaced.size()),
               lines.join(u'\n'), MessageService::Buttons::YesNo,
               MessageService::Answer::No) == MessageService::Answer::Yes;
}

void PublishFlow::showOutcome(const PublishTarget &target, const PublishPlan &plan,
                              const Publisher::Report &report, const QStringList &checks,
                              bool checksPassed) {
    if (!report.published) {
        const bool mediaSent = !report.sent.isEmpty();
        m_messages.notice(report.refusals.join(u'\n') + u'\n' +
                          (mediaSent
                               ? QStringLiteral("The feed on the server was not changed.")
                               : QStringLiteral("Nothing was sent; the feed on the server was not "
                                                "changed.")));
        return;
    }
    QStringList lines;
    for (const Publisher::Sent &sent : report.sent)
        lines.append(
            QStringLiteral("Sent %1 (%2 bytes%3)")
                .arg(sent.relative)
                .arg(sent.size)
                .arg(sent.replaced ? QStringLiteral(", replacing the server's copy") : QString()));
    for (const Publisher::Skipped &skipped : report.skipped)
        lines.append(QStringLiteral("Skipped %1 (%2)").arg(skipped.relative, skipped.reason));
    lines += checks;
    QString text = QStringLiteral("Published %1 to %2: %3 file(s) sent, %4 skipped.")
                       .arg(plan.feedName(), target.text())
                       .arg(report.sent.size())
                       .arg(report.skipped.size());
    if (!checks.isEmpty())
        text += checksPassed ? QStringLiteral(" The feed and the new media were verified online.")
                             : QStringLiteral(" The check online FAILED; see the details.");
    m_messages.notice(text, lines.join(u'\n'));
}
