#pragma once

#include "PublishPlan.h"
#include "RemoteStore.h"

#include <QList>
#include <QString>

#include <atomic>
#include <functional>

// Runs a plan against a store: every check first, then the media, each one's
// size checked on the server, and the feed last, so listeners never get a
// feed whose episodes are not there yet.
class Publisher {
public:
    struct Progress {
        QString file; // relative path of the current upload
        qint64 fileSent = 0;
        qint64 fileSize = 0;
        qint64 totalSent = 0;
        qint64 totalSize = 0;
        int fileNumber = 0; // 1-based
        int fileCount = 0;
    };

    struct Sent {
        QString relative;
        qint64 size = 0;
        bool replaced = false; // a server copy of another size was replaced
        bool isFeed = false;
    };

    struct Skipped {
        QString relative;
        QString reason;
    };

    struct Report {
        bool published = false;
        // Why nothing or not everything was sent; every problem found by the
        // checks, one a line.
        QStringList refusals;
        // Uploaded (or, for a dry run, to be uploaded), in order.
        QList<Sent> sent;
        QList<Skipped> skipped;
    };

    Publisher(const PublishPlan &plan, RemoteStore &store);

    void setReplaceMedia(bool replace) { m_replaceMedia = replace; }
    // Asked, once all checks pass, whether the server's copies of other
    // sizes may be replaced; without it they are refused.
    void setConfirmReplace(std::function<bool(const QList<Skipped> &)> confirm) {
        m_confirmReplace = std::move(confirm);
    }
    void setDryRun(bool dryRun) { m_dryRun = dryRun; }
    // Waits between tries of a failed request; one more try than delays.
    void setRetryDelays(const QList<int> &milliseconds) { m_retryDelays = milliseconds; }
    void setProgress(std::function<void(const Progress &)> progress) {
        m_progress = std::move(progress);
    }
    // Set from another thread to stop: the upload under way is abandoned
    // before its rename, so the old feed stays online.
    void setCancel(const std::atomic<bool> *cancel) { m_cancel = cancel; }

    Report run();

private:
    // Tries request up to once per retry delay more; after a transient
    // failure the connection is opened again first, unless the request is
    // the opening itself.
    RemoteStore::Failure retried(const QString &what,
                                 const std::function<RemoteStore::Failure()> &request,
                                 bool reopen = true);
    bool cancelled() const { return m_cancel != nullptr && m_cancel->load(); }
    bool pause(int milliseconds) const;

    const PublishPlan &m_plan;
    RemoteStore &m_store;
    bool m_replaceMedia = false;
    bool m_dryRun = false;
    QList<int> m_retryDelays{1000, 2000, 4000};
    std::function<void(const Progress &)> m_progress;
    std::function<bool(const QList<Skipped> &)> m_confirmReplace;
    const std::atomic<bool> *m_cancel = nullptr;
    std::atomic<bool> m_neverCancelled{false};
};
