#include "PublishMemory.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QSettings>
#include <QVariant>

namespace {
QSettings settings() {
    return QSettings(QStringLiteral("Brindlewood"), QStringLiteral("brindlewood-feed-editor"));
}

// Paths hold the settings' own group separator; a hash of one does not.
QString groupOf(const QString &feedPath) {
    const QByteArray path = QFileInfo(feedPath).absoluteFilePath().toUtf8();
    return QStringLiteral("publishTargets/") +
           QString::fromLatin1(QCryptographicHash::hash(path, QCryptographicHash::Sha1).toHex());
}
} // namespace

namespace PublishMemory {
PublishChoices recall(const QString &feedPath) {
    QSettings stored = settings();
    stored.beginGroup(groupOf(feedPath));
    const auto text = [&](const char *name) {
        return stored.value(QLatin1StringView(name)).toString();
    };
    PublishChoices choices;
    choices.target = text("target");
    choices.publicUrl = text("publicUrl");
    choices.mediaFolder = text("mediaFolder");
    choices.verify = stored.value(QLatin1StringView("verify")).toBool();
    choices.identityFile = text("identityFile");
    choices.endpoint = text("endpoint");
    choices.region = text("region");
    choices.accessKeyId = text("accessKeyId");
    choices.caFile = text("caFile");
    choices.rememberSecret = stored.value(QLatin1StringView("rememberSecret"), true).toBool();
    return choices;
}

void remember(const QString &feedPath, const PublishChoices &choices) {
    QSettings stored = settings();
    stored.beginGroup(groupOf(feedPath));
    const auto set = [&](const char *name, const QVariant &value) {
        stored.setValue(QLatin1StringView(name), value);
    };
    set("feed", QFileInfo(feedPath).absoluteFilePath());
    set("target", choices.target);
    set("publicUrl", choices.publicUrl);
    set("mediaFolder", choices.mediaFolder);
    set("verify", choices.verify);
    set("identityFile", choices.identityFile);
    set("endpoint", choices.endpoint);
    set("region", choices.region);
    set("accessKeyId", choices.accessKeyId);
    set("caFile", choices.caFile);
    set("rememberSecret", choices.rememberSecret);
}
} // namespace PublishMemory
