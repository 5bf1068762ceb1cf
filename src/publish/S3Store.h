#pragma once

#include "CurlRequest.h"
#include "PublishSettings.h"
#include "PublishTarget.h"
#include "RemoteStore.h"

// An S3-compatible bucket through libcurl's SigV4 signing. Every PUT is
// atomic on the server's side, so no temporary object is needed.
class S3Store : public RemoteStore {
public:
    S3Store(const PublishTarget &target, const PublishSettings &settings);

    Failure open() override;
    Failure size(const QString &relative, qint64 *bytes) override;
    Failure put(QIODevice &data, const Upload &upload, const Progress &progress,
                const std::atomic<bool> &cancel) override;

    // The address of an object key, each segment percent-encoded once.
    QByteArray objectUrl(const QString &key) const;

private:
    // A multipart upload begun and not yet completed: a try after a cut
    // goes on with the parts already stored.
    struct Multipart {
        QString key;
        qint64 size = 0;
        QByteArray uploadId;
        QList<QByteArray> etags; // of parts 1, 2, ... stored so far
    };

    Failure putWhole(QIODevice &data, const Upload &upload, const Progress &progress,
                     const std::atomic<bool> &cancel);
    Failure putMultipart(QIODevice &data, const Upload &upload, const Progress &progress,
                         const std::atomic<bool> &cancel);
    Failure startMultipart(const Upload &upload, const QString &key);
    // Takes up an upload of `key` that an earlier run left, with the parts
    // of it that hold what the local file holds there; false when there is
    // none (or the service cannot list them).
    bool takeUpUnfinished(QIODevice &data, const Upload &upload, const QString &key);
    Failure completeMultipart(const Upload &upload);
    // Drops the stored parts of an upload that will not go on.
    void abortMultipart();
    QByteArray multipartUrl(const QByteArray &query) const;
    void prepare(const QByteArray &url, const QByteArray &payloadHash);
    Failure failure(CURLcode code, const QString &what) const;

    PublishTarget m_target;
    PublishSettings m_settings;
    QByteArray m_bucketUrl; // ends in '/'
    CurlRequest m_request;
    Multipart m_multipart;
};
