#include "PublishVerifier.h"

#include "CurlRequest.h"

#include <QFile>

namespace {
void prepare(CurlRequest &request, const QString &url, const QString &caFile) {
    request.reset();
    CURL *curl = request.handle();
    const QByteArray address = url.toUtf8();
    curl_easy_setopt(curl, CURLOPT_URL, address.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    // Caches in between must not answer for the server.
    request.addHeader("Cache-Control: no-cache");
    // The public address may be served under a public authority while the
    // upload went to a server of a private one: both are trusted.
    if (!caFile.isEmpty()) {
        curl_easy_setopt(curl, CURLOPT_CAINFO, QFile::encodeName(caFile).constData());
        curl_easy_setopt(curl, CURLOPT_CAPATH, "/etc/ssl/certs");
    }
}
} // namespace

PublishVerifier::PublishVerifier(QString caFile)
    : m_caFile(std::move(caFile)) {}

PublishVerifier::Check PublishVerifier::feed(const QString &url, const QByteArray &expected) const {
    CurlRequest request;
    prepare(request, url, m_caFile);
    request.keepBody(expected.size() + 1);
    Check check{url, QStringLiteral("feed"), false, {}};
    const CURLcode code = request.perform();
    if (code != CURLE_OK && !request.bodyTooLarge()) {
        check.detail = request.errorText(code);
    } else if (request.responseCode() != 200) {
        check.detail = QStringLiteral("HTTP %1").arg(request.responseCode());
    } else if (request.bodyTooLarge() || request.body() != expected) {
        check.detail = QStringLiteral("the bytes served differ from the feed uploaded");
    } else {
        check.passed = true;
        check.detail = QStringLiteral("%1 bytes as uploaded").arg(expected.size());
    }
    return check;
}

QList<PublishVerifier::Check> PublishVerifier::media(const QString &url, qint64 size) const {
    QList<Check> checks;
    CurlRequest request;

    prepare(request, url, m_caFile);
    curl_easy_setopt(request.handle(), CURLOPT_NOBODY, 1L);
    Check head{url, QStringLiteral("HEAD"), false, {}};
    CURLcode code = request.perform();
    curl_off_t length = -1;
    curl_easy_getinfo(request.handle(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (code != CURLE_OK)
        head.detail = request.errorText(code);
    else if (request.responseCode() != 200)
        head.detail = QStringLiteral("HTTP %1, not 200").arg(request.responseCode());
    else if (length != size)
        head.detail = QStringLiteral("Content-Length %1, not %2").arg(qint64(length)).arg(size);
    else
        head.passed = true;
    if (head.passed)
        head.detail = QStringLiteral("200, Content-Length %1").arg(size);
    checks.append(head);

    prepare(request, url, m_caFile);
    curl_easy_setopt(request.handle(), CURLOPT_RANGE, "0-1");
    request.keepBody(2);
    Check range{url, QStringLiteral("Range"), false, {}};
    code = request.perform();
    const long status = request.responseCode();
    if (code != CURLE_OK && !(request.bodyTooLarge() && status != 0))
        range.detail = request.errorText(code);
    else if (status != 206)
        range.detail = QStringLiteral("HTTP %1 to \"Range: bytes=0-1\", not 206").arg(status);
    else
        range.passed = true;
    if (range.passed)
        range.detail = QStringLiteral("206 to \"Range: bytes=0-1\"");
    checks.append(range);
    return checks;
}
