#include "FeedDownload.h"

#include "CurlRequest.h"

namespace FeedDownload {
namespace {
constexpr long MaxRedirects = 5;

QString statusText(long status) {
    switch (status) {
    case 400:
        return QStringLiteral("Bad Request");
    case 401:
        return QStringLiteral("Unauthorized");
    case 403:
        return QStringLiteral("Forbidden");
    case 404:
        return QStringLiteral("Not Found");
    case 410:
        return QStringLiteral("Gone");
    case 429:
        return QStringLiteral("Too Many Requests");
    case 500:
        return QStringLiteral("Internal Server Error");
    case 502:
        return QStringLiteral("Bad Gateway");
    case 503:
        return QStringLiteral("Service Unavailable");
    case 504:
        return QStringLiteral("Gateway Timeout");
    default:
        return status >= 500 ? QStringLiteral("server error") : QStringLiteral("refused");
    }
}
} // namespace

bool isWebAddress(const QString &text) {
    return text.startsWith(u"http://", Qt::CaseInsensitive) ||
           text.startsWith(u"https://", Qt::CaseInsensitive);
}

Result fetch(const QString &url, qint64 limit) {
    CurlRequest request;
    CURL *curl = request.handle();
    const QByteArray address = url.toUtf8();
    curl_easy_setopt(curl, CURLOPT_URL, address.constData());
    // A redirect may not lead to file:// or another protocol.
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, MaxRedirects);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "brindlewood-feed");
    request.keepBody(limit);
    const CURLcode code = request.perform();
    const long status = request.responseCode();
    const auto fail = [&](const QString &why) {
        return Result{{}, QStringLiteral("%1: %2").arg(url, why)};
    };
    if (request.bodyTooLarge())
        return fail(QStringLiteral("the feed is larger than %1 MB").arg(limit / (1024 * 1024)));
    if (code == CURLE_TOO_MANY_REDIRECTS)
        return fail(QStringLiteral("more than %1 redirects").arg(MaxRedirects));
    if (code != CURLE_OK)
        return fail(request.errorText(code));
    if (status != 200)
        return fail(QStringLiteral("HTTP %1 %2").arg(status).arg(statusText(status)));
    return {request.body(), {}};
}
} // namespace FeedDownload
