#include "KeychainSecretStore.h"

#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace {
const QString Service = QStringLiteral("brindlewood-feed-editor");
constexpr int AnswerLimitMs = 15000;
} // namespace

bool KeychainSecretStore::finish(QKeychain::Job &job) {
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    QEventLoop loop;
    bool done = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        done = true;
        loop.quit();
    });
    QTimer::singleShot(AnswerLimitMs, &loop, &QEventLoop::quit);
    job.start();
    if (!done)
        loop.exec();
    return done;
}

bool KeychainSecretStore::isAvailable() {
    if (!m_available) {
        // A read of a key nobody writes tells a working keyring (not found)
        // from none at all.
        QKeychain::ReadPasswordJob job(Service);
        job.setKey(QStringLiteral("keyring-probe"));
        const bool answered = finish(job);
        m_available = answered && (job.error() == QKeychain::NoError ||
                                   job.error() == QKeychain::EntryNotFound);
    }
    return *m_available;
}

QString KeychainSecretStore::read(const QString &key) {
    if (!isAvailable())
        return {};
    QKeychain::ReadPasswordJob job(Service);
    job.setKey(key);
    if (!finish(job) || job.error() != QKeychain::NoError)
        return {};
    return job.textData();
}

bool KeychainSecretStore::write(const QString &key, const QString &secret) {
    if (!isAvailable())
        return false;
    QKeychain::WritePasswordJob job(Service);
    job.setKey(key);
    job.setTextData(secret);
    return finish(job) && job.error() == QKeychain::NoError;
}

void KeychainSecretStore::remove(const QString &key) {
    if (!isAvailable())
        return;
    QKeychain::DeletePasswordJob job(Service);
    job.setKey(key);
    finish(job);
}
