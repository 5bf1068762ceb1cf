#pragma once

#include <QString>

// How to reach and log in to a target: from the command's options and
// environment, or from the editor's dialog and keyring. Secrets live here
// only in memory; nothing writes this out.
struct PublishSettings {
    // SFTP
    QString identityFile;   // empty: ssh-agent, then ~/.ssh/id_*
    QString knownHostsFile; // empty: ~/.ssh/known_hosts
    QString keyPassphrase;
    // S3
    QString endpoint; // empty: AWS, virtual-hosted addresses
    QString region;
    QString accessKeyId;
    QString secretAccessKey;
    QString sessionToken;
    // Media larger than this go up in parts of s3PartSize bytes, so that a
    // cut upload goes on with the parts already stored.
    qint64 s3MultipartAbove = 64 * 1024 * 1024;
    qint64 s3PartSize = 16 * 1024 * 1024;
    // FTPS
    QString ftpPassword;
    QString caFile; // also for an https endpoint
    bool allowPlainFtp = false;
};
