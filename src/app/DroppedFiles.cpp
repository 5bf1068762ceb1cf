#include "DroppedFiles.h"

#include "feed/MediaFile.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

bool DroppedFiles::offersFiles(const QMimeData &data) {
    return data.hasUrls();
}

DroppedFiles DroppedFiles::sort(const QMimeData &data) {
    DroppedFiles files;
    const QList<QUrl> urls = data.urls();
    for (const QUrl &url : urls) {
        if (!url.isLocalFile()) {
            files.others.append(url.toDisplayString());
            continue;
        }
        const QString path = url.toLocalFile();
        if (QFileInfo(path).isFile() && MediaFile::isMedia(path))
            files.media.append(path);
        else if (QFileInfo(path).isFile() && MediaFile::isFeed(path))
            files.feeds.append(path);
        else
            files.others.append(QDir::toNativeSeparators(path));
    }
    return files;
}
