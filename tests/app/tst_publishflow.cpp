#include "EditorHarness.h"
#include "app/FeedFileCommands.h"
#include "app/PublishFlow.h"
#include "app/WebAddressCommand.h"
#include "dialogs/PublishDialog.h"
#include "dialogs/PublishProgressDialog.h"
#include "platform/SecretStore.h"
#include "publish/MemoryStore.h"
#include "support/FeedFiles.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QThread>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {
class FakeSecretStore : public SecretStore {
public:
    explicit FakeSecretStore(bool available)
        : m_available(available) {}
    bool isAvailable() override { return m_available; }
    QString read(const QString &key) override { return kept.value(key); }
    bool write(const QString &key, const QString &secret) override {
        if (!m_available)
            return false;
        kept.insert(key, secret);
        return true;
    }
    void remove(const QString &key) override { kept.remove(key); }

    QMap<QString, QString> kept;

private:
    bool m_available;
};

enum class HostKey { Known, Unknown, Changed };

// The server outlives each publish: the flow's own store forwards to it, and
// plays an SSH server's host key check.
struct Server {
    MemoryStore files;
    HostKey hostKey = HostKey::Known;
    bool holdPuts = false; // a put waits until it is cancelled
    int storesMade = 0;
    PublishSettings settings;
    bool ranOffGuiThread = true;
};

class ForwardingStore : public RemoteStore {
public:
    ForwardingStore(Server &server, SftpStore::TrustHost trustHost)
        : m_server(server)
        , m_trustHost(std::move(trustHost)) {}
    Failure open() override {
        m_server.ranOffGuiThread =
            m_server.ranOffGuiThread && QThread::currentThread() != qApp->thread();
        if (m_server.hostKey == HostKey::Changed)
            return {u"WARNING: the host key of host has CHANGED; it is now SHA256:new."_s, false};
        if (m_server.hostKey == HostKey::Unknown && !m_trustHost(u"host"_s, u"SHA256:abc"_s))
            return {u"the host key of host is not known: SHA256:abc."_s, false};
        return m_server.files.open();
    }
    Failure size(const QString &relative, qint64 *bytes) override {
        return m_server.files.size(relative, bytes);
    }
    Failure put(QIODevice &data, const Upload &upload, const Progress &progress,
                const std::atomic<bool> &cancel) override {
        if (m_server.holdPuts) {
            for (int waited = 0; !cancel.load() && waited < 10000; waited += 5) {
                progress(0);
                QThread::msleep(5);
            }
            return {u"cancelled"_s, false};
        }
        return m_server.files.put(data, upload, progress, cancel);
    }

private:
    Server &m_server;
    SftpStore::TrustHost m_trustHost;
};

const QString Public = u"https://cdn.example.org/pod/"_s;

// The editor with a saved feed naming a.mp3 (3 bytes) and ep/b.m4a (5
// bytes) under Public, and scripted publishing services.
struct Session {
    EditorHarness editor;
    QTemporaryDir dir;
    QString feed;
    Server server;
    std::shared_ptr<FakeSecretStore> secrets;
    std::optional<PublishChoices> typed; // nothing: accept what the dialog shows
    PublishChoices shown;                // what the dialog showed
    int dialogsShown = 0;
    QStringList asked; // labels of the secret prompts
    QList<std::optional<QString>> secretAnswers;
    bool needsPassphrase = false;
    bool testFirst = false; // "Test Connection" before accepting
    QStringList testMessages;
    std::function<void(PublishProgressDialog &)> onProgress;

    explicit Session(bool keyring = false)
        : secrets(std::make_shared<FakeSecretStore>(keyring)) {
        QDir(dir.path()).mkpath(u"ep"_s);
        FeedFiles::writeAll(dir.filePath(u"a.mp3"_s), "aaa");
        FeedFiles::writeAll(dir.filePath(u"ep/b.m4a"_s), "bbbbb");
        feed = dir.filePath(u"Podcast.xml"_s);
        FeedFiles::writeAll(
            feed, "<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel><title>T</title>"
                  "<item><title>A</title><enclosure url=\"https://cdn.example.org/pod/a.mp3\" "
                  "length=\"3\" type=\"audio/mpeg\"/></item>"
                  "<item><title>B</title><enclosure url=\"https://cdn.example.org/pod/ep/b.m4a\" "
                  "length=\"5\" type=\"audio/x-m4a\"/></item></channel></rss>\n");
        editor.window->fileCommands().openPath(feed);
        PublishFlow::Services services;
        services.secrets = secrets;
        services.createStore = [this](const PublishTarget &, const PublishSettings &settings,
                                      SftpStore::TrustHost trustHost) {
            ++server.storesMade;
            server.settings = settings;
            return std::make_unique<ForwardingStore>(server, std::move(trustHost));
        };
        services.showDialog = [this](PublishDialog &dialog) {
            ++dialogsShown;
            shown = dialog.choices();
            if (typed)
                dialog.setChoices(*typed);
            if (testFirst) {
                dialog.testButton()->click();
                testMessages = editor.messages.texts();
                editor.messages.shown.clear();
            }
            dialog.accept();
            return dialog.result();
        };
        services.progressShown = [this](PublishProgressDialog &dialog) {
            if (onProgress)
                onProgress(dialog);
        };
        services.askSecret = [this](const QString &label) -> std::optional<QString> {
            asked.append(label);
            return secretAnswers.isEmpty() ? std::nullopt : secretAnswers.takeFirst();
        };
        services.keyNeedsPassphrase = [this](const QString &) { return needsPassphrase; };
        editor.window->findChild<PublishFlow *>()->setServices(services);
    }

    void publish(const QString &target, const QString &secret = {}) {
        PublishChoices choices;
        choices.target = target;
        choices.publicUrl = Public;
        choices.accessKeyId = u"AKID"_s;
        choices.secret = secret;
        typed = choices;
        publish();
    }
    void publish() {
        editor.messages.shown.clear();
        editor.window->findChild<QAction *>(u"PublishAction"_s)->trigger();
    }
    QString lastMessage() const {
        return editor.messages.shown.isEmpty() ? QString() : editor.messages.shown.last().text;
    }
    bool published() const { return lastMessage().startsWith(u"Published Podcast.xml to "_s); }
};
} // namespace

class tst_PublishFlow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void publish_sendsMediaThenFeed_data();
    void publish_sendsMediaThenFeed();
    void publish_unsavedDocumentIsSavedFirst_data();
    void publish_unsavedDocumentIsSavedFirst();
    void cancel_leavesOldFeedOnline();
    void secrets_keptOnlyInKeyring_data();
    void secrets_keptOnlyInKeyring();
    void sshHostKey_unknownAskedChangedRefused_data();
    void sshHostKey_unknownAskedChangedRefused();
    void sshKeyPassphrase_askedEachTime();
    void testConnection_saysWhatHappened_data();
    void testConnection_saysWhatHappened();
    void plainFtp_needsConfirmation_data();
    void plainFtp_needsConfirmation();
    void replaceMedia_needsConfirmation_data();
    void replaceMedia_needsConfirmation();
    void dialog_remembersTargetPerFeed();
    void dialog_refusesBadChoices_data();
    void dialog_refusesBadChoices();
    void openWebAddress_opensUnsavedDocument_data();
    void openWebAddress_opensUnsavedDocument();
};

void tst_PublishFlow::publish_sendsMediaThenFeed_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("secret");
    QTest::newRow("sftp") << u"sftp://me@host/pod/"_s << QString();
    QTest::newRow("ftps") << u"ftps://me@host/pod/"_s << u"ftp pass"_s;
    QTest::newRow("s3") << u"s3://bucket/pod/"_s << u"s3 secret"_s;
}

void tst_PublishFlow::publish_sendsMediaThenFeed() {
    QFETCH(QString, target);
    QFETCH(QString, secret);
    Session session;
    session.publish(target, secret);
    QVERIFY2(session.published(), qPrintable(session.lastMessage()));
    const MemoryStore &files = session.server.files;
    QCOMPARE(files.files.value(u"a.mp3"_s), "aaa");
    QCOMPARE(files.files.value(u"ep/b.m4a"_s), "bbbbb");
    QCOMPARE(files.files.value(u"Podcast.xml"_s), FeedFiles::readAll(session.feed));
    QCOMPARE(files.log.filter(u"put "_s).constLast(), u"put Podcast.xml"_s);
    QVERIFY(session.server.ranOffGuiThread);
    QCOMPARE(session.server.settings.ftpPassword + session.server.settings.secretAccessKey, secret);
    QVERIFY(session.asked.isEmpty());
}

void tst_PublishFlow::publish_unsavedDocumentIsSavedFirst_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("published");
    QTest::newRow("save") << int(MessageService::Answer::Yes) << true;
    QTest::newRow("do not save") << int(MessageService::Answer::No) << false;
}

void tst_PublishFlow::publish_unsavedDocumentIsSavedFirst() {
    QFETCH(int, answer);
    QFETCH(bool, published);
    Session session;
    session.editor.document().setField(ChannelField::Title, u"Changed"_s);
    session.editor.messages.answers = {MessageService::Answer(answer)};
    session.publish(u"sftp://me@host/pod/"_s);
    QCOMPARE(session.editor.messages.shown.first().text,
             u"Publishing sends the feed as it is saved, and Podcast.xml has unsaved changes. "
             "Save them now?"_s);
    QCOMPARE(session.dialogsShown, published ? 1 : 0);
    QCOMPARE(session.published(), published);
    if (published) {
        QVERIFY(!session.editor.document().DocumentChanged());
        const QByteArray online = session.server.files.files.value(u"Podcast.xml"_s);
        QCOMPARE(online, FeedFiles::readAll(session.feed));
        QVERIFY(online.contains("<title>Changed</title>"));
    } else {
        QVERIFY(session.server.files.files.isEmpty());
        QVERIFY(session.editor.document().DocumentChanged());
    }
}

void tst_PublishFlow::cancel_leavesOldFeedOnline() {
    Session session;
    session.server.files.files.insert(u"Podcast.xml"_s, "old feed");
    session.server.holdPuts = true;
    bool cancelShown = false;
    session.onProgress = [&](PublishProgressDialog &dialog) {
        QTimer::singleShot(0, &dialog, [&] {
            cancelShown = dialog.isVisible() && dialog.cancelButton()->isEnabled();
            dialog.cancelButton()->click();
        });
    };
    session.publish(u"sftp://me@host/pod/"_s);
    QVERIFY(cancelShown);
    QCOMPARE(session.server.files.files.value(u"Podcast.xml"_s), "old feed");
    QCOMPARE(session.lastMessage(), u"Cancelled; the feed on the server was not changed.\n"
                                    "Nothing was sent; the feed on the server was not changed."_s);
}

void tst_PublishFlow::secrets_keptOnlyInKeyring_data() {
    QTest::addColumn<bool>("keyring");
    QTest::addColumn<int>("asksOnSecondPublish");
    QTest::newRow("keyring") << true << 0;
    QTest::newRow("no keyring") << false << 1;
}

void tst_PublishFlow::secrets_keptOnlyInKeyring() {
    QFETCH(bool, keyring);
    QFETCH(int, asksOnSecondPublish);
    const QString password = u"s3cr3t-Pa55"_s;
    Session session(keyring);
    session.publish(u"ftps://me@host/pod/"_s, password);
    QVERIFY2(session.published(), qPrintable(session.lastMessage()));
    QCOMPARE(session.secrets->kept.value(u"ftp://me@host:21"_s), keyring ? password : QString());

    // The dialog opens without it; it comes from the keyring, or is asked.
    session.secretAnswers = {password};
    session.publish(u"ftps://me@host/pod/"_s);
    QVERIFY2(session.published(), qPrintable(session.lastMessage()));
    QCOMPARE(session.shown.secret, QString());
    QCOMPARE(session.asked.size(), asksOnSecondPublish);
    QCOMPARE(session.server.settings.ftpPassword, password);
    if (!keyring) {
        // And again the next time: nothing was kept.
        session.secretAnswers = {password};
        session.publish(u"ftps://me@host/pod/"_s);
        QCOMPARE(session.asked, QStringList(2, u"Password for me@host:"_s));
        // A cancelled prompt sends nothing.
        session.publish(u"ftps://me@host/pod/"_s);
        QCOMPARE(session.server.storesMade, 3);
    }
    QSettings settings(u"Brindlewood"_s, u"brindlewood-feed-editor"_s);
    settings.sync();
    const QByteArray stored = FeedFiles::readAll(settings.fileName());
    QVERIFY(!stored.contains(password.toUtf8()));
    QVERIFY(!stored.contains(
        QByteArrayView(reinterpret_cast<const char *>(password.utf16()), password.size() * 2)));
    QVERIFY(stored.contains("ftps://me@host/pod/"));
}

void tst_PublishFlow::sshHostKey_unknownAskedChangedRefused_data() {
    QTest::addColumn<int>("hostKey");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("published");
    QTest::newRow("unknown, trusted")
        << int(HostKey::Unknown) << int(MessageService::Answer::Yes) << true << true;
    QTest::newRow("unknown, not trusted")
        << int(HostKey::Unknown) << int(MessageService::Answer::No) << true << false;
    QTest::newRow("changed") << int(HostKey::Changed) << int(MessageService::Answer::Yes) << false
                             << false;
}

void tst_PublishFlow::sshHostKey_unknownAskedChangedRefused() {
    QFETCH(int, hostKey);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(bool, published);
    Session session;
    session.server.hostKey = HostKey(hostKey);
    session.editor.messages.answers = {MessageService::Answer(answer)};
    session.publish(u"sftp://me@host/pod/"_s);
    const QList<ScriptedMessageService::Shown> &shown = session.editor.messages.shown;
    QCOMPARE(shown.size(), asked ? 2 : 1);
    if (asked) {
        QCOMPARE(shown.first().caption, u"Unknown Host"_s);
        QVERIFY(shown.first().text.contains(u"SHA256:abc"_s));
        QCOMPARE(shown.first().defaultAnswer, MessageService::Answer::No);
    }
    QCOMPARE(session.published(), published);
    if (!published)
        QVERIFY(session.server.files.files.isEmpty());
    if (HostKey(hostKey) == HostKey::Changed)
        QVERIFY(session.lastMessage().startsWith(u"WARNING: the host key of host has CHANGED"_s));
}

void tst_PublishFlow::sshKeyPassphrase_askedEachTime() {
    Session session;
    session.needsPassphrase = true;
    session.secretAnswers = {u"words"_s};
    PublishChoices choices;
    choices.target = u"sftp://me@host/pod/"_s;
    choices.publicUrl = Public;
    choices.identityFile = session.dir.filePath(u"a.mp3"_s);
    session.typed = choices;
    session.publish();
    QCOMPARE(session.asked, QStringList(u"Passphrase for the SSH key %1:"_s.arg(
                                QDir::toNativeSeparators(choices.identityFile))));
    QVERIFY(session.published());
    QCOMPARE(session.server.settings.keyPassphrase, u"words"_s);
    // Never kept; a cancelled prompt connects to nothing.
    session.publish();
    QCOMPARE(session.asked.size(), 2);
    QCOMPARE(session.server.storesMade, 1);
    QVERIFY(session.secrets->kept.isEmpty());
}

void tst_PublishFlow::testConnection_saysWhatHappened_data() {
    QTest::addColumn<int>("hostKey");
    QTest::addColumn<QString>("message");
    QTest::newRow("known host") << int(HostKey::Known) << u"Connected to sftp://me@host/pod/."_s;
    QTest::newRow("changed host key")
        << int(HostKey::Changed)
        << u"The connection to sftp://me@host/pod/ failed: WARNING: the host key of host has "
           "CHANGED; it is now SHA256:new."_s;
}

void tst_PublishFlow::testConnection_saysWhatHappened() {
    QFETCH(int, hostKey);
    QFETCH(QString, message);
    Session session;
    session.server.hostKey = HostKey(hostKey);
    session.testFirst = true;
    session.publish(u"sftp://me@host/pod/"_s);
    QCOMPARE(session.testMessages, QStringList(message));
    // Testing sends nothing; publishing afterwards opens again.
    QCOMPARE(session.server.files.log.filter(u"put "_s).size(),
             HostKey(hostKey) == HostKey::Known ? 3 : 0);
    QCOMPARE(session.server.storesMade, 2);
}

void tst_PublishFlow::plainFtp_needsConfirmation_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("confirmed") << int(MessageService::Answer::Yes);
    QTest::newRow("refused") << int(MessageService::Answer::No);
}

void tst_PublishFlow::plainFtp_needsConfirmation() {
    QFETCH(int, answer);
    const bool confirmed = MessageService::Answer(answer) == MessageService::Answer::Yes;
    Session session;
    session.editor.messages.answers = {MessageService::Answer(answer)};
    session.publish(u"ftp://me@host/pod/"_s, u"pw"_s);
    const ScriptedMessageService::Shown &question = session.editor.messages.shown.first();
    QCOMPARE(question.caption, u"Plain FTP"_s);
    QCOMPARE(question.defaultAnswer, MessageService::Answer::No);
    QCOMPARE(session.server.storesMade, confirmed ? 1 : 0);
    QCOMPARE(session.published(), confirmed);
    QCOMPARE(session.server.settings.allowPlainFtp, confirmed);
}

void tst_PublishFlow::replaceMedia_needsConfirmation_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<QByteArray>("media");
    QTest::newRow("replace") << int(MessageService::Answer::Yes) << QByteArray("aaa");
    QTest::newRow("keep") << int(MessageService::Answer::No) << QByteArray("older");
}

void tst_PublishFlow::replaceMedia_needsConfirmation() {
    QFETCH(int, answer);
    QFETCH(QByteArray, media);
    Session session;
    session.server.files.files.insert(u"a.mp3"_s, "older");
    session.server.files.files.insert(u"Podcast.xml"_s, "old feed");
    session.editor.messages.answers = {MessageService::Answer(answer)};
    session.publish(u"sftp://me@host/pod/"_s);
    const ScriptedMessageService::Shown &question = session.editor.messages.shown.first();
    QVERIFY(question.text.contains(u"1 published media file(s) of another size"_s));
    QCOMPARE(question.detail, u"a.mp3 (5 bytes on the server)"_s);
    QCOMPARE(session.server.files.files.value(u"a.mp3"_s), media);
    QCOMPARE(session.published(), media == "aaa");
    if (media != "aaa")
        QCOMPARE(session.server.files.files.value(u"Podcast.xml"_s), "old feed");
}

void tst_PublishFlow::dialog_remembersTargetPerFeed() {
    Session session;
    session.publish(u"s3://bucket/pod/"_s, u"secret"_s);
    QVERIFY(session.published());
    session.typed.reset();
    session.secretAnswers = {u"secret"_s};
    session.publish();
    QCOMPARE(session.shown.target, u"s3://bucket/pod/"_s);
    QCOMPARE(session.shown.publicUrl, Public);
    QCOMPARE(session.shown.accessKeyId, u"AKID"_s);
    QCOMPARE(session.shown.secret, QString());
    QVERIFY(session.published());

    // Another feed has its own.
    const QString other = session.dir.filePath(u"Other.xml"_s);
    QVERIFY(QFile::copy(session.feed, other));
    QVERIFY(session.editor.window->fileCommands().openPath(other));
    session.publish();
    QCOMPARE(session.shown.target, QString());
}

void tst_PublishFlow::dialog_refusesBadChoices_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("publicUrl");
    QTest::addColumn<QString>("problem");
    QTest::newRow("no target") << QString() << Public
                               << u"Enter the target: where the feed is uploaded."_s;
    QTest::newRow("no public address")
        << u"sftp://me@host/pod/"_s << QString()
        << u"Enter the public address: where listeners find the target folder on the web."_s;
    QTest::newRow("unknown scheme") << u"gopher://host/pod/"_s << Public << u"The target"_s;
}

void tst_PublishFlow::dialog_refusesBadChoices() {
    QFETCH(QString, target);
    QFETCH(QString, publicUrl);
    QFETCH(QString, problem);
    PublishDialog dialog;
    PublishChoices choices;
    choices.target = target;
    choices.publicUrl = publicUrl;
    dialog.setChoices(choices);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY2(dialog.problem().startsWith(problem), qPrintable(dialog.problem()));
    // The boxes of the login follow the target's kind.
    dialog.targetBox()->setText(u"s3://bucket/"_s);
    QVERIFY(dialog.accessKeyBox()->isEnabled());
    QVERIFY(!dialog.identityBox()->isEnabled());
    dialog.targetBox()->setText(u"sftp://me@host/pod/"_s);
    QVERIFY(!dialog.secretBox()->isEnabled());
    QVERIFY(dialog.identityBox()->isEnabled());
    dialog.setKeyringAvailable(false);
    dialog.targetBox()->setText(u"ftps://me@host/pod/"_s);
    QVERIFY(dialog.secretBox()->isEnabled());
    QVERIFY(!dialog.rememberBox()->isEnabled());
}

void tst_PublishFlow::openWebAddress_opensUnsavedDocument_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("message");
    QTest::newRow("fetched") << u"https://old.example.org/feed.xml"_s << QString() << QString();
    QTest::newRow("almost XML, mended")
        << u"https://old.example.org/broken.xml"_s << QString() << QString();
    QTest::newRow("HTTP failure") << u"https://old.example.org/gone.xml"_s
                                  << u"https://old.example.org/gone.xml: HTTP 404 Not Found"_s
                                  << u"https://old.example.org/gone.xml: HTTP 404 Not Found"_s;
    QTest::newRow("not a web address")
        << u"file:///etc/passwd"_s << QString()
        << u"\"file:///etc/passwd\" is not a web address: it must start with http:// or "
           "https://."_s;
}

void tst_PublishFlow::openWebAddress_opensUnsavedDocument() {
    QFETCH(QString, url);
    QFETCH(QString, error);
    QFETCH(QString, message);
    Session session;
    auto *command = session.editor.window->findChild<WebAddressCommand *>();
    QVERIFY(command);
    QStringList fetched;
    command->setAskAddress([&] { return std::optional<QString>(url); });
    command->setFetch([&](const QString &address) {
        fetched.append(address);
        FeedDownload::Result result;
        result.error = error;
        if (error.isEmpty())
            result.bytes = "<rss version=\"2.0\"><channel><title>Moved</title><item><title>"
                           "Old one</title></item></channel></rss>";
        // An unescaped ampersand, which the repair mends once asked.
        if (address.endsWith(u"broken.xml"_s))
            result.bytes.replace("Old one", "Old & new");
        return result;
    });
    session.editor.messages.shown.clear();
    session.editor.messages.answers = {MessageService::Answer::Yes};
    session.editor.window->findChild<QAction *>(u"OpenWebAddressAction"_s)->trigger();
    const bool opened = message.isEmpty();
    if (url.endsWith(u"broken.xml"_s)) {
        QCOMPARE(session.editor.messages.shown.size(), 2); // "Fail to load", then the offer
        QCOMPARE(session.editor.titles().size(), 1);
    } else {
        QCOMPARE(session.lastMessage(), message);
    }
    QCOMPARE(fetched.size(), url.startsWith(u"http"_s) ? 1 : 0);
    QCOMPARE(session.editor.document().field(ChannelField::Title), opened ? u"Moved"_s : u"T"_s);
    // Not the file it was: Save asks where to keep it.
    QCOMPARE(session.editor.window->fileCommands().path().isEmpty(), opened);
    QCOMPARE(session.editor.document().DocumentChanged(), opened);
}

QTEST_MAIN(tst_PublishFlow)
#include "tst_publishflow.moc"
