#pragma once

#include <QString>

// What the publish dialog asks: where to, and how to log in. Everything but
// `secret` is remembered per feed file; the secret only ever goes to the
// keyring, and only when `rememberSecret` is set.
struct PublishChoices {
    QString target;
    QString publicUrl;
    QString mediaFolder; // empty: the feed's own folder
    bool verify = false;
    QString identityFile; // SFTP; empty: ssh-agent, then ~/.ssh/id_*
    QString endpoint;     // S3; empty: AWS
    QString region;       // S3
    QString accessKeyId;  // S3: the key's name, not its secret
    QString caFile;       // FTPS and S3
    QString secret;       // the FTP password or the S3 secret key
    bool rememberSecret = true;
};
