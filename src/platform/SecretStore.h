#pragma once

#include <QString>

// Where the editor keeps passwords and keys between runs: the desktop
// keyring, or a fake in tests. Nothing else ever holds a secret on disk.
class SecretStore {
public:
    virtual ~SecretStore() = default;

    // False when there is no keyring (no Secret Service on the session
    // bus): then nothing is kept and the editor asks each time.
    virtual bool isAvailable() = 0;
    // The secret kept under `key`, or a null string when there is none.
    virtual QString read(const QString &key) = 0;
    // False when the keyring refused it.
    virtual bool write(const QString &key, const QString &secret) = 0;
    virtual void remove(const QString &key) = 0;
};
