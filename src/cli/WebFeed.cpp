#include "WebFeed.h"

#include "publish/FeedDownload.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

int withWebFeed(const QString &url, int failureStatus,
                const std::function<int(const QString &path)> &run) {
    const auto fail = [&](const QString &why) {
        std::fprintf(stderr, "brindlewood-feed: %s\n", why.toLocal8Bit().constData());
        return failureStatus;
    };
    const FeedDownload::Result fetched = FeedDownload::fetch(url);
    if (!fetched.error.isEmpty())
        return fail(fetched.error);
    QTemporaryDir folder;
    if (!folder.isValid())
        return fail(QStringLiteral("cannot make a temporary folder: %1").arg(folder.errorString()));
    QFile file(folder.filePath(QStringLiteral("feed.xml")));
    if (!file.open(QIODevice::WriteOnly) || file.write(fetched.bytes) != fetched.bytes.size() ||
        !file.flush())
        return fail(QStringLiteral("%1: %2").arg(file.fileName(), file.errorString()));
    file.close();
    return run(file.fileName());
}
