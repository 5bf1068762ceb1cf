#pragma once

#include <QString>

#include <functional>

// dump and check of a web address: the feed is fetched into a temporary
// file, `run` reads that, and the file is gone afterwards. When the feed
// cannot be fetched, says why and returns failureStatus.
int withWebFeed(const QString &url, int failureStatus,
                const std::function<int(const QString &path)> &run);
