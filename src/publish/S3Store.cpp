#include "S3Store.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QIODevice>
#include <QMap>
#include <QUrl>
#include <QXmlStreamReader>

namespace {
// The SHA-256 of no bytes, for requests without a body.
const QByteArray EmptyHash =
    QByteArrayLiteral("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");

// S3's Code and Message from an error document, or nothing.
QString serverWords(const QByteArray &body) {
    QXmlStreamReader xml(body);
    QString code;
    QString message;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"Code")
            code = xml.readElementText();
        else if (xml.name() == u"Message")
            message = xml.readElementText();
    }
    if (code.isEmpty())
        return {};
    return message.isEmpty() ? code : QStringLiteral("%1: %2").arg(code, message);
}
} // namespace

S3Store::S3Store(const PublishTarget &target, const PublishSettings &settings)
    : m_target(target)
    , m_settings(settings) {
    const QByteArray bucket = QUrl::toPercentEncoding(target.bucket);
    if (settings.endpoint.isEmpty()) {
        const QString region =
            settings.region.isEmpty() ? QStringLiteral("us-east-1") : settings.region;
        m_bucketUrl = "https://" + bucket + ".s3." + region.toUtf8() + ".amazonaws.com/";
    } else {
        // Other services are addressed path-style: ENDPOINT/BUCKET/KEY.
        QByteArray endpoint = settings.endpoint.trimmed().toUtf8();
        while (endpoint.endsWith('/'))
            endpoint.chop(1);
        m_bucketUrl = endpoint + '/' + bucket + '/';
    }
}

QByteArray S3Store::objectUrl(const QString &key) const {
    QByteArray url = m_bucketUrl;
    const QStringList segments = key.split(u'/');
    for (qsizetype i = 0; i < segments.size(); ++i) {
        if (i > 0)
            url += '/';
        url += QUrl::toPercentEncoding(segments[i]);
    }
    return url;
}

void S3Store::prepare(const QByteArray &url, const QByteArray &payloadHash) {
    m_request.reset();
    CURL *curl = m_request.handle();
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    const QByteArray region =
        (m_settings.region.isEmpty() ? QStringLiteral("us-east-1") : m_settings.region).toUtf8();
    const QByteArray signing = "aws:amz:" + region + ":s3";
    curl_easy_setopt(curl, CURLOPT_AWS_SIGV4, signing.constData());
    const QByteArray keyId = m_settings.accessKeyId.toUtf8();
    const QByteArray secret = m_settings.secretAccessKey.toUtf8();
    curl_easy_setopt(curl, CURLOPT_USERNAME, keyId.constData());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, secret.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    if (!m_settings.caFile.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, QFile::encodeName(m_settings.caFile).constData());
    m_request.addHeader("x-amz-content-sha256: " + payloadHash);
    if (!m_settings.sessionToken.isEmpty())
        m_request.addHeader("x-amz-security-token: " + m_settings.sessionToken.toUtf8());
}

RemoteStore::Failure S3Store::failure(CURLcode code, const QString &what) const {
    if (code != CURLE_OK)
        return {QStringLiteral("%1: %2").arg(what, m_request.errorText(code)),
                CurlRequest::isTransient(code)};
    const long status = m_request.responseCode();
    QString words = serverWords(m_request.body());
    if (words.isEmpty())
        words = status == 403   ? QStringLiteral("Forbidden (check the access key and secret)")
                : status == 404 ? QStringLiteral("Not Found")
                                : QStringLiteral("the server refused the request");
    return {QStringLiteral("%1: HTTP %2, %3").arg(what).arg(status).arg(words),
            status >= 500 || status == 429 || status == 408};
}

RemoteStore::Failure S3Store::open() {
    if (m_settings.accessKeyId.isEmpty() || m_settings.secretAccessKey.isEmpty())
        return {QStringLiteral("S3 needs an access key: set AWS_ACCESS_KEY_ID and "
                               "AWS_SECRET_ACCESS_KEY"),
                false};
    // Listing one key proves the bucket, the address and the credentials
    // before any check depends on them.
    // The bucket itself is addressed without a trailing slash on path-style
    // services: that is how their signatures name it.
    QByteArray listing = m_bucketUrl;
    if (!m_settings.endpoint.isEmpty())
        listing.chop(1);
    prepare(listing + "?max-keys=1", EmptyHash);
    const CURLcode code = m_request.perform();
    if (code != CURLE_OK || m_request.responseCode() != 200)
        return failure(code, m_target.text());
    return {};
}

RemoteStore::Failure S3Store::size(const QString &relative, qint64 *bytes) {
    prepare(objectUrl(m_target.remotePath(relative)), EmptyHash);
    curl_easy_setopt(m_request.handle(), CURLOPT_NOBODY, 1L);
    const CURLcode code = m_request.perform();
    const long status = m_request.responseCode();
    if (code == CURLE_OK && status == 404) {
        *bytes = -1;
        return {};
    }
    if (code != CURLE_OK || status != 200)
        return failure(code, relative);
    curl_off_t length = -1;
    curl_easy_getinfo(m_request.handle(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    *bytes = qint64(length);
    return {};
}

RemoteStore::Failure S3Store::put(QIODevice &data, const Upload &upload, const Progress &progress,
                                  const std::atomic<bool> &cancel) {
    const Failure sent = upload.size > m_settings.s3MultipartAbove
                             ? putMultipart(data, upload, progress, cancel)
                             : putWhole(data, upload, progress, cancel);
    if (sent)
        return sent;
    qint64 stored = -1;
    if (Failure failed = size(upload.relative, &stored))
        return failed;
    if (stored != upload.size)
        return sizeMismatch(upload, stored, "upload");
    return {};
}

RemoteStore::Failure S3Store::putWhole(QIODevice &data, const Upload &upload,
                                       const Progress &progress, const std::atomic<bool> &cancel) {
    // The payload is signed by its hash, so the bytes are read twice.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&data) || !data.seek(0))
        return {QStringLiteral("%1: %2").arg(upload.relative, data.errorString()), false};
    prepare(objectUrl(m_target.remotePath(upload.relative)), hash.result().toHex());
    m_request.addHeader("Content-Type: " + upload.contentType.toUtf8());
    if (!upload.cacheControl.isEmpty())
        m_request.addHeader("Cache-Control: " + upload.cacheControl.toUtf8());
    m_request.setUpload(&data, upload.size, &progress, &cancel);
    const CURLcode code = m_request.perform();
    if (m_request.aborted() && cancel.load())
        return {QStringLiteral("cancelled"), false};
    if (code != CURLE_OK || m_request.responseCode() != 200)
        return failure(code, upload.relative);
    return {};
}

QByteArray S3Store::multipartUrl(const QByteArray &query) const {
    // Parameters in the order, and with the '=', that the signature's
    // canonical form has: libcurl signs the query as it is written.
    return objectUrl(m_multipart.key) + '?' + query;
}

RemoteStore::Failure S3Store::startMultipart(const Upload &upload, const QString &key) {
    m_multipart = {key, upload.size, {}, {}};
    prepare(multipartUrl("uploads="), EmptyHash);
    m_request.addHeader("Content-Type: " + upload.contentType.toUtf8());
    if (!upload.cacheControl.isEmpty())
        m_request.addHeader("Cache-Control: " + upload.cacheControl.toUtf8());
    m_request.setPostBody(QByteArray());
    const CURLcode code = m_request.perform();
    if (code != CURLE_OK || m_request.responseCode() != 200) {
        m_multipart = {};
        return failure(code, upload.relative);
    }
    QXmlStreamReader xml(m_request.body());
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"UploadId")
            m_multipart.uploadId = xml.readElementText().toUtf8();
    }
    if (m_multipart.uploadId.isEmpty()) {
        m_multipart = {};
        return {
            QStringLiteral("%1: the server did not start a multipart upload").arg(upload.relative),
            false};
    }
    return {};
}

bool S3Store::takeUpUnfinished(QIODevice &data, const Upload &upload, const QString &key) {
    QByteArray listing = m_bucketUrl;
    if (!m_settings.endpoint.isEmpty())
        listing.chop(1);
    prepare(listing + "?prefix=" + QUrl::toPercentEncoding(key) + "&uploads=", EmptyHash);
    if (m_request.perform() != CURLE_OK || m_request.responseCode() != 200)
        return false;
    // The newest upload of exactly this key.
    QByteArray uploadId;
    QString newest;
    {
        QXmlStreamReader xml(m_request.body());
        QString uploadKey, id, initiated;
        while (!xml.atEnd()) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token == QXmlStreamReader::StartElement) {
                if (xml.name() == u"Key")
                    uploadKey = xml.readElementText();
                else if (xml.name() == u"UploadId")
                    id = xml.readElementText();
                else if (xml.name() == u"Initiated")
                    initiated = xml.readElementText();
            } else if (token == QXmlStreamReader::EndElement && xml.name() == u"Upload") {
                if (uploadKey == key && !id.isEmpty() && initiated >= newest) {
                    uploadId = id.toUtf8();
                    newest = initiated;
                }
                uploadKey.clear();
                id.clear();
                initiated.clear();
            }
        }
    }
    if (uploadId.isEmpty())
        return false;
    m_multipart = {key, upload.size, uploadId, {}};
    prepare(multipartUrl("uploadId=" + QUrl::toPercentEncoding(QString::fromUtf8(uploadId))),
            EmptyHash);
    if (m_request.perform() != CURLE_OK || m_request.responseCode() != 200) {
        m_multipart = {};
        return false;
    }
    QMap<qint64, std::pair<QByteArray, qint64>> parts; // number: ETag, size
    {
        QXmlStreamReader xml(m_request.body());
        qint64 number = 0;
        qint64 size = -1;
        QByteArray etag;
        while (!xml.atEnd()) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token == QXmlStreamReader::StartElement) {
                if (xml.name() == u"PartNumber")
                    number = xml.readElementText().toLongLong();
                else if (xml.name() == u"ETag")
                    etag = xml.readElementText().toUtf8();
                else if (xml.name() == u"Size")
                    size = xml.readElementText().toLongLong();
            } else if (token == QXmlStreamReader::EndElement && xml.name() == u"Part") {
                parts.insert(number, {etag, size});
                number = 0;
                size = -1;
                etag.clear();
            }
        }
    }
    // A stored part is kept only while it holds what the local file holds
    // there: its ETag is the MD5 of its bytes.
    const qint64 partSize = std::max<qint64>(1, m_settings.s3PartSize);
    for (qint64 part = 1; parts.contains(part); ++part) {
        const qint64 offset = (part - 1) * partSize;
        const qint64 length = std::min(partSize, upload.size - offset);
        const auto &[etag, size] = parts.value(part);
        if (length <= 0 || size != length || !data.seek(offset))
            break;
        const QByteArray md5 =
            QCryptographicHash::hash(data.read(length), QCryptographicHash::Md5).toHex();
        QByteArray stored = etag;
        stored.replace('"', QByteArray());
        if (stored.toLower() != md5)
            break;
        m_multipart.etags.append(etag);
    }
    // Nothing of it is worth keeping: a fresh upload replaces it.
    if (m_multipart.etags.isEmpty()) {
        abortMultipart();
        return false;
    }
    return true;
}

void S3Store::abortMultipart() {
    if (m_multipart.uploadId.isEmpty())
        return;
    // Best effort: a service that keeps the parts expires them by its rules.
    prepare(multipartUrl("uploadId=" +
                         QUrl::toPercentEncoding(QString::fromUtf8(m_multipart.uploadId))),
            EmptyHash);
    curl_easy_setopt(m_request.handle(), CURLOPT_CUSTOMREQUEST, "DELETE");
    m_request.perform();
    m_multipart = {};
}

RemoteStore::Failure S3Store::putMultipart(QIODevice &data, const Upload &upload,
                                           const Progress &progress,
                                           const std::atomic<bool> &cancel) {
    const QString key = m_target.remotePath(upload.relative);
    const qint64 partSize = std::max<qint64>(1, m_settings.s3PartSize);
    if (!upload.resumable || m_multipart.key != key || m_multipart.size != upload.size ||
        m_multipart.uploadId.isEmpty()) {
        abortMultipart();
        if (!upload.resumable || !takeUpUnfinished(data, upload, key)) {
            if (Failure failed = startMultipart(upload, key))
                return failed;
        }
    }
    const QByteArray uploadId = QUrl::toPercentEncoding(QString::fromUtf8(m_multipart.uploadId));
    const qint64 parts = (upload.size + partSize - 1) / partSize;
    for (qint64 part = 1; part <= parts; ++part) {
        const qint64 offset = (part - 1) * partSize;
        const qint64 length = std::min(partSize, upload.size - offset);
        if (part <= m_multipart.etags.size()) {
            if (progress)
                progress(offset + length);
            continue;
        }
        if (cancel.load()) {
            abortMultipart();
            return {QStringLiteral("cancelled"), false};
        }
        QByteArray bytes;
        if (data.seek(offset))
            bytes = data.read(length);
        if (bytes.size() != length) {
            abortMultipart();
            return {QStringLiteral("%1: %2").arg(upload.relative,
                                                 data.errorString().isEmpty()
                                                     ? QStringLiteral("the file got shorter")
                                                     : data.errorString()),
                    false};
        }
        prepare(multipartUrl("partNumber=" + QByteArray::number(part) + "&uploadId=" + uploadId),
                QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        const Progress partProgress = [&](qint64 sent) {
            if (progress)
                progress(offset + sent);
        };
        m_request.setUpload(&buffer, length, &partProgress, &cancel);
        const CURLcode code = m_request.perform();
        if (m_request.aborted() && cancel.load()) {
            abortMultipart();
            return {QStringLiteral("cancelled"), false};
        }
        const QByteArray etag = m_request.responseHeader("ETag");
        if (code != CURLE_OK || m_request.responseCode() != 200 || etag.isEmpty()) {
            Failure failed = failure(
                code,
                QStringLiteral("%1 (part %2 of %3)").arg(upload.relative).arg(part).arg(parts));
            // The next try goes on from this part.
            if (!failed.transient)
                abortMultipart();
            return failed;
        }
        m_multipart.etags.append(etag);
    }
    return completeMultipart(upload);
}

RemoteStore::Failure S3Store::completeMultipart(const Upload &upload) {
    QByteArray body = "<CompleteMultipartUpload>";
    for (qsizetype i = 0; i < m_multipart.etags.size(); ++i)
        body += "<Part><PartNumber>" + QByteArray::number(i + 1) + "</PartNumber><ETag>" +
                QString::fromUtf8(m_multipart.etags[i]).toHtmlEscaped().toUtf8() + "</ETag></Part>";
    body += "</CompleteMultipartUpload>";
    prepare(multipartUrl("uploadId=" +
                         QUrl::toPercentEncoding(QString::fromUtf8(m_multipart.uploadId))),
            QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex());
    m_request.addHeader("Content-Type: application/xml");
    m_request.setPostBody(body);
    const CURLcode code = m_request.perform();
    // S3 may answer 200 and still fail, with the error in the body.
    const bool failedInBody = !serverWords(m_request.body()).isEmpty();
    if (code != CURLE_OK || m_request.responseCode() != 200 || failedInBody) {
        Failure failed = failure(code, upload.relative);
        failed.transient = failed.transient || failedInBody;
        if (!failed.transient)
            abortMultipart();
        return failed;
    }
    m_multipart = {};
    return {};
}
