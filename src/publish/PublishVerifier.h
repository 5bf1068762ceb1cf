#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Checks, after a publish, what listeners will get: the feed's bytes at its
// public address, and for each new media file a HEAD (200 and the right
// Content-Length) and a two-byte Range request (206, which Apple requires).
class PublishVerifier {
public:
    struct Check {
        QString url;
        QString what; // "feed", "HEAD", "Range"
        bool passed = false;
        QString detail; // why it failed, or what was seen
    };

    explicit PublishVerifier(QString caFile = {});

    Check feed(const QString &url, const QByteArray &expected) const;
    QList<Check> media(const QString &url, qint64 size) const;

private:
    QString m_caFile;
};
