#pragma once

#include <QByteArray>
#include <QString>

// Fetches a feed from the web so that it can be loaded like a file: http
// and https only (redirects too), at most five redirects, a size cap, a
// 30 s limit and verified certificates.
namespace FeedDownload {
constexpr qint64 DefaultLimit = 10 * 1024 * 1024;

struct Result {
    QByteArray bytes;
    QString error; // empty on success; otherwise names the address and why
};

bool isWebAddress(const QString &text);
Result fetch(const QString &url, qint64 limit = DefaultLimit);
} // namespace FeedDownload
