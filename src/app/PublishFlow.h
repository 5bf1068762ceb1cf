#pragma once

#include "dialogs/PublishChoices.h"
#include "publish/PublishSettings.h"
#include "publish/PublishTarget.h"
#include "publish/Publisher.h"
#include "publish/SftpStore.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class FeedFileCommands;
class MessageService;
class PodcastDocument;
class PublishDialog;
class PublishPlan;
class PublishProgressDialog;
class PublishRun;
class RemoteStore;
class SecretStore;
class QWidget;

// File ▸ Publish…: the saved feed and its media to the target remembered for
// the feed file, with the secrets from the keyring (or asked for), the work
// off the GUI thread, and a summary at the end.
class PublishFlow : public QObject {
    Q_OBJECT

public:
    using StoreFactory = std::function<std::unique_ptr<RemoteStore>(
        const PublishTarget &, const PublishSettings &, SftpStore::TrustHost)>;

    // What the flow needs besides the message boxes; each empty one means
    // the real thing. Tests hand in fakes.
    struct Services {
        std::shared_ptr<SecretStore> secrets;                       // the desktop keyring
        StoreFactory createStore;                                   // RemoteStoreFactory::create
        std::function<int(PublishDialog &)> showDialog;             // exec()
        std::function<void(PublishProgressDialog &)> progressShown; // nothing
        // Asks for a password or passphrase; nothing when cancelled.
        std::function<std::optional<QString>(const QString &label)> askSecret;
        std::function<bool(const QString &keyFile)> keyNeedsPassphrase; // SshKeyFile
    };

    PublishFlow(QWidget &window, PodcastDocument &document, FeedFileCommands &files,
                MessageService &messages);
    ~PublishFlow() override;

    void setServices(Services services);
    void publish();

private:
    bool ensureSaved();
    void testConnection(QWidget &dialog, const PublishChoices &choices);
    bool prepare(const PublishChoices &choices, PublishTarget *target, PublishSettings *settings);
    bool confirmPlainFtp(const PublishTarget &target);
    // The settings for the target, with the secrets it needs; false when
    // the user cancelled a question for one.
    bool settingsFor(const PublishTarget &target, const PublishChoices &choices,
                     PublishSettings *settings);
    std::optional<QString> secretFor(const QString &key, const PublishChoices &choices,
                                     const QString &label);
    std::optional<QString> askSecret(const QString &label);
    // Keeps a secret typed in the dialog once it has been shown to work.
    void keepTypedSecret();
    std::unique_ptr<RemoteStore> createStore(const PublishTarget &target,
                                             const PublishSettings &settings, PublishRun &run);
    bool confirmReplace(const QList<Publisher::Skipped> &replaced);
    void showOutcome(const PublishTarget &target, const PublishPlan &plan,
                     const Publisher::Report &report, const QStringList &checks, bool checksPassed);
    SecretStore &secrets();

    QWidget &m_window;
    PodcastDocument &m_document;
    FeedFileCommands &m_files;
    MessageService &m_messages;
    Services m_services;
    // A secret typed in the dialog, to be kept once it works.
    QString m_typedKey;
    QString m_typedSecret;
};
