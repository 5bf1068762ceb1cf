#pragma once

#include <QString>

// Where a feed is published: parsed from sftp://USER@HOST[:PORT]/DIR/,
// s3://BUCKET/PREFIX/, ftps://USER@HOST[:PORT]/DIR/ or ftp://... .
struct PublishTarget {
    enum class Kind { Invalid, Sftp, S3, Ftps, Ftp };

    Kind kind = Kind::Invalid;
    QString user;
    QString host;
    int port = 0; // 0: the protocol's own
    // SFTP and FTP: the folder on the server, ending in '/'. Absolute, or
    // relative to the login's home when the address said /~/.
    QString folder;
    bool fromHome = false;
    // S3: the bucket and the key prefix ("" or ending in '/').
    QString bucket;
    QString prefix;

    bool isValid() const { return kind != Kind::Invalid; }
    // The address as the user may see it (never holds a secret).
    QString text() const;
    // Where a file at `relative` under the target goes: a server path for
    // SFTP and FTP, an object key for S3.
    QString remotePath(const QString &relative) const;

    // The parsed target, or an invalid one with the reason in *error.
    static PublishTarget parse(const QString &address, QString *error);
};
