#pragma once

#include "SecretStore.h"

#include <optional>

namespace QKeychain {
class Job;
}

// The desktop keyring through QtKeychain (Secret Service on Linux), without
// its plain-text fallback. Each call waits for its job in a local event loop.
class KeychainSecretStore : public SecretStore {
public:
    bool isAvailable() override;
    QString read(const QString &key) override;
    bool write(const QString &key, const QString &secret) override;
    void remove(const QString &key) override;

private:
    // Runs the job to its end, or gives up after a while when the keyring
    // does not answer (a locked or hung daemon).
    static bool finish(QKeychain::Job &job);

    std::optional<bool> m_available;
};
