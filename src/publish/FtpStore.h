#pragma once

#include "CurlRequest.h"
#include "PublishSettings.h"
#include "PublishTarget.h"
#include "RemoteStore.h"

// An FTP server through libcurl, with explicit TLS for ftps:// targets.
// Uploads go to a hidden name beside the file and are renamed over it
// (RNFR/RNTO) once their size on the server is right. A cut upload of media
// goes on from the end of its hidden part (APPE).
class FtpStore : public RemoteStore {
public:
    FtpStore(const PublishTarget &target, const PublishSettings &settings);

    Failure open() override;
    Failure size(const QString &relative, qint64 *bytes) override;
    Failure put(QIODevice &data, const Upload &upload, const Progress &progress,
                const std::atomic<bool> &cancel) override;

private:
    QByteArray urlOf(const QString &relative) const;
    // Where a cut upload to `temporary` can go on from, or 0.
    qint64 resumeOffset(QIODevice &data, const QString &temporary, qint64 size);
    void prepare(const QByteArray &url);
    Failure failure(CURLcode code, const QString &what) const;

    PublishTarget m_target;
    PublishSettings m_settings;
    CurlRequest m_request;
};
