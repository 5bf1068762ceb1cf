#include "Publisher.h"

#include <QBuffer>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace {
const QString Cancelled = QStringLiteral("Cancelled; the feed on the server was not changed.");
} // namespace

Publisher::Publisher(const PublishPlan &plan, RemoteStore &store)
    : m_plan(plan)
    , m_store(store) {}

bool Publisher::pause(int milliseconds) const {
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        if (cancelled())
            return false;
        QThread::msleep(std::min<qint64>(50, std::max<qint64>(1, deadline.remainingTime())));
    }
    return !cancelled();
}

RemoteStore::Failure Publisher::retried(const QString &what,
                                        const std::function<RemoteStore::Failure()> &request,
                                        bool reopen) {
    RemoteStore::Failure failure = request();
    for (int delay : std::as_const(m_retryDelays)) {
        if (!failure || !failure.transient || cancelled())
            break;
        if (!pause(delay))
            break;
        if (reopen) {
            if (RemoteStore::Failure reopened = m_store.open(); reopened) {
                failure = reopened;
                continue;
            }
        }
        failure = request();
    }
    if (failure && cancelled())
        failure.text = Cancelled;
    else if (failure && !what.isEmpty())
        failure.text = QStringLiteral("%1: %2").arg(what, failure.text);
    return failure;
}

Publisher::Report Publisher::run() {
    Report report;
    const auto refuse = [&](const QString &text) {
        report.refusals.append(text);
        return report;
    };
    if (RemoteStore::Failure failure = retried(
            QString(), [&] { return m_store.open(); }, false))
        return refuse(failure.text);

    // Every check before any byte goes out: a refusal leaves the server as it was.
    QList<const PublishPlan::Media *> toSend;
    QList<bool> replacing;
    QList<Skipped> toReplace; // the server's size, as "reason"
    for (const PublishPlan::Media &media : m_plan.media()) {
        const QFileInfo local(media.localPath);
        const bool here = local.isFile();
        if (here && local.size() != media.length) {
            report.refusals.append(QStringLiteral("%1: the enclosure length is %2 bytes, but %3 "
                                                  "has %4 bytes.")
                                       .arg(media.episodeText())
                                       .arg(media.length)
                                       .arg(QDir::toNativeSeparators(media.localPath))
                                       .arg(local.size()));
            continue;
        }
        qint64 remote = -1;
        if (RemoteStore::Failure failure =
                retried(media.relative, [&] { return m_store.size(media.relative, &remote); }))
            return refuse(failure.text);
        if (remote == media.length) {
            report.skipped.append({media.relative, here ? QStringLiteral("already on the server")
                                                        : QStringLiteral("only on the server")});
        } else if (!here) {
            report.refusals.append(
                remote < 0
                    ? QStringLiteral("%1: the media file %2 is neither here nor on the server.")
                          .arg(media.episodeText(), QDir::toNativeSeparators(media.localPath))
                    : QStringLiteral("%1: the media file %2 is not here, and the server's copy "
                                     "has %3 bytes, not the enclosure's %4.")
                          .arg(media.episodeText(), QDir::toNativeSeparators(media.localPath))
                          .arg(remote)
                          .arg(media.length));
        } else if (remote >= 0 && !m_replaceMedia && m_confirmReplace) {
            toReplace.append({media.relative, QString::number(remote)});
            toSend.append(&media);
            replacing.append(true);
        } else if (remote >= 0 && !m_replaceMedia) {
            report.refusals.append(QStringLiteral("%1: the server already has %2 with %3 bytes, "
                                                  "not %4; published media are replaced only "
                                                  "with --replace-media.")
                                       .arg(media.episodeText(), media.relative)
                                       .arg(remote)
                                       .arg(media.length));
        } else {
            toSend.append(&media);
            replacing.append(remote >= 0);
        }
    }
    if (!report.refusals.isEmpty())
        return report;
    if (!toReplace.isEmpty() && !m_confirmReplace(toReplace))
        return refuse(QStringLiteral("The published media were not replaced; nothing was sent."));

    Progress progress;
    progress.fileCount = int(toSend.size()) + 1;
    for (const PublishPlan::Media *media : std::as_const(toSend))
        progress.totalSize += media->length;
    progress.totalSize += m_plan.feedBytes().size();

    if (m_dryRun) {
        for (qsizetype i = 0; i < toSend.size(); ++i)
            report.sent.append({toSend[i]->relative, toSend[i]->length, replacing[i], false});
        report.sent.append({m_plan.feedName(), m_plan.feedBytes().size(), false, true});
        return report;
    }

    const std::atomic<bool> &cancel = m_cancel != nullptr ? *m_cancel : m_neverCancelled;
    const auto send = [&](QIODevice &data, const RemoteStore::Upload &upload) {
        ++progress.fileNumber;
        progress.file = upload.relative;
        progress.fileSize = upload.size;
        const qint64 before = progress.totalSent;
        const auto onProgress = [&](qint64 sent) {
            progress.fileSent = sent;
            progress.totalSent = before + sent;
            if (m_progress)
                m_progress(progress);
        };
        onProgress(0);
        RemoteStore::Failure failure = retried(upload.relative, [&] {
            data.seek(0);
            return m_store.put(data, upload, onProgress, cancel);
        });
        if (!failure)
            onProgress(upload.size);
        return failure;
    };

    for (qsizetype i = 0; i < toSend.size(); ++i) {
        const PublishPlan::Media *media = toSend[i];
        if (cancelled())
            return refuse(Cancelled);
        QFile file(media->localPath);
        if (!file.open(QIODevice::ReadOnly))
            return refuse(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(media->localPath),
                                                       file.errorString()));
        // Changed since the checks: sending it would break the feed's promise.
        if (file.size() != media->length)
            return refuse(QStringLiteral("%1 changed while publishing; nothing more was sent.")
                              .arg(QDir::toNativeSeparators(media->localPath)));
        const RemoteStore::Upload upload{
            media->relative, media->length,
            media->type.isEmpty() ? QStringLiteral("application/octet-stream") : media->type,
            QString(), true};
        if (RemoteStore::Failure failure = send(file, upload))
            return refuse(failure.text);
        report.sent.append({media->relative, media->length, replacing[i], false});
    }
    if (cancelled())
        return refuse(Cancelled);
    QByteArray feedBytes = m_plan.feedBytes();
    QBuffer feed(&feedBytes);
    feed.open(QIODevice::ReadOnly);
    const RemoteStore::Upload upload{m_plan.feedName(), feedBytes.size(),
                                     QStringLiteral("application/rss+xml"),
                                     QStringLiteral("max-age=300")};
    if (RemoteStore::Failure failure = send(feed, upload))
        return refuse(failure.text);
    report.sent.append({m_plan.feedName(), feedBytes.size(), false, true});
    report.published = true;
    return report;
}
