#pragma once

#include <QList>
#include <QString>

// What one publish would send, read from the feed's own bytes: the feed and
// the media files its enclosures name under the public address.
class PublishPlan {
public:
    struct Media {
        QString relative;  // path under the target, '/'-separated
        QString localPath; // the file under the media folder
        qint64 length = 0; // the enclosure's length
        QString type;      // the enclosure's type
        int episode = 0;   // 1-based position among the feed's items
        QString title;     // that item's title, for messages
        // "Episode 3, "Title"", as refusals name it.
        QString episodeText() const;
    };

    // Reads the feed at feedPath; an empty mediaFolder means the feed's own.
    // Returns false with the reason in *error when the feed cannot be read,
    // is not well-formed, or an enclosure of ours cannot be a media file.
    bool read(const QString &feedPath, const QString &publicUrl, const QString &mediaFolder,
              QString *error);

    const QByteArray &feedBytes() const { return m_feedBytes; }
    // The feed's file name, where it goes under the target.
    const QString &feedName() const { return m_feedName; }
    const QString &publicUrl() const { return m_publicUrl; }
    // One entry per distinct file, in feed order.
    const QList<Media> &media() const { return m_media; }

    // The public address ending in '/', or empty with *error set.
    static QString normalisedPublicUrl(const QString &url, QString *error);
    // The path under the public address that `enclosureUrl` names: empty
    // when it is not ours, and empty with *error when it is ours but
    // cannot name a file (a folder, "..", an encoded slash).
    static QString relativePath(const QString &publicUrl, const QString &enclosureUrl,
                                QString *error);

private:
    QByteArray m_feedBytes;
    QString m_feedName;
    QString m_publicUrl;
    QList<Media> m_media;
};
