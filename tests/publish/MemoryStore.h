#pragma once

#include "publish/RemoteStore.h"

#include <QIODevice>
#include <QMap>
#include <QStringList>

// A server held in memory that records every request and fails on demand.
class MemoryStore : public RemoteStore {
public:
    QMap<QString, QByteArray> files;
    QStringList log; // "open", "size PATH", "put PATH"
    // Requests that fail next, in order: the text and whether transient.
    QList<Failure> failures;
    // Failing "put" requests only; other requests are not affected.
    bool failPutsOnly = false;

    Failure open() override {
        log.append(QStringLiteral("open"));
        return failPutsOnly ? Failure{} : nextFailure();
    }
    Failure size(const QString &relative, qint64 *bytes) override {
        log.append(QStringLiteral("size ") + relative);
        if (Failure failure = failPutsOnly ? Failure{} : nextFailure())
            return failure;
        *bytes = files.contains(relative) ? files.value(relative).size() : -1;
        return {};
    }
    Failure put(QIODevice &data, const Upload &upload, const Progress &progress,
                const std::atomic<bool> &cancel) override {
        log.append(QStringLiteral("put ") + upload.relative);
        if (Failure failure = nextFailure())
            return failure;
        if (cancel.load())
            return {QStringLiteral("cancelled"), false};
        const QByteArray bytes = data.readAll();
        if (bytes.size() != upload.size)
            return {QStringLiteral("short read"), false};
        if (progress)
            progress(bytes.size());
        files.insert(upload.relative, bytes);
        types.insert(upload.relative, upload.contentType);
        return {};
    }
    QMap<QString, QString> types;

private:
    Failure nextFailure() { return failures.isEmpty() ? Failure{} : failures.takeFirst(); }
};
