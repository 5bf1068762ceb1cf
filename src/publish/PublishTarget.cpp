#include "PublishTarget.h"

#include <QUrl>

namespace {
QString schemeOf(PublishTarget::Kind kind) {
    switch (kind) {
    case PublishTarget::Kind::Sftp:
        return QStringLiteral("sftp");
    case PublishTarget::Kind::S3:
        return QStringLiteral("s3");
    case PublishTarget::Kind::Ftps:
        return QStringLiteral("ftps");
    case PublishTarget::Kind::Ftp:
        return QStringLiteral("ftp");
    case PublishTarget::Kind::Invalid:
        break;
    }
    return {};
}

// A folder path may not climb out of where it says it is.
bool hasDotSegment(const QString &path) {
    const QStringList segments = path.split(u'/');
    return segments.contains(QStringLiteral("..")) || segments.contains(QStringLiteral("."));
}

PublishTarget invalid(QString *error, const QString &reason) {
    *error = reason;
    return {};
}
} // namespace

QString PublishTarget::text() const {
    if (kind == Kind::S3)
        return QStringLiteral("s3://%1/%2")
            .arg(bucket, QString::fromUtf8(QUrl::toPercentEncoding(prefix, "/")));
    QString hostPart = host.contains(u':') ? u'[' + host + u']' : host;
    if (port != 0)
        hostPart += u':' + QString::number(port);
    const QString path = fromHome ? folder : folder.mid(1);
    return QStringLiteral("%1://%2@%3/%4%5")
        .arg(schemeOf(kind), QString::fromUtf8(QUrl::toPercentEncoding(user)), hostPart,
             fromHome ? QStringLiteral("~/") : QString(),
             QString::fromUtf8(QUrl::toPercentEncoding(path, "/")));
}

QString PublishTarget::remotePath(const QString &relative) const {
    return kind == Kind::S3 ? prefix + relative : folder + relative;
}

PublishTarget PublishTarget::parse(const QString &address, QString *error) {
    const QString trimmed = address.trimmed();
    const QUrl url(trimmed, QUrl::StrictMode);
    if (trimmed.isEmpty())
        return invalid(error, QStringLiteral("the target is empty"));
    if (!url.isValid())
        return invalid(
            error,
            QStringLiteral("'%1' is not a valid address: %2").arg(trimmed, url.errorString()));
    PublishTarget target;
    const QString scheme = url.scheme().toLower();
    if (scheme == u"sftp")
        target.kind = Kind::Sftp;
    else if (scheme == u"s3")
        target.kind = Kind::S3;
    else if (scheme == u"ftps")
        target.kind = Kind::Ftps;
    else if (scheme == u"ftp")
        target.kind = Kind::Ftp;
    else
        return invalid(error, QStringLiteral("'%1': the target must start with sftp://, s3:// or "
                                             "ftps://")
                                  .arg(trimmed));
    if (!url.password().isEmpty())
        return invalid(error, QStringLiteral("'%1': a password does not belong in the target; "
                                             "see the manual for where secrets come from")
                                  .arg(url.toString(QUrl::RemovePassword)));
    if (url.hasQuery() || url.hasFragment())
        return invalid(error,
                       QStringLiteral("'%1': the target takes no '?' or '#' part").arg(trimmed));
    const QString path = url.path(QUrl::FullyDecoded);
    if (hasDotSegment(path))
        return invalid(error,
                       QStringLiteral("'%1': the folder may not contain '.' or '..'").arg(trimmed));
    if (url.host().isEmpty())
        return invalid(error, target.kind == Kind::S3
                                  ? QStringLiteral("'%1': no bucket named").arg(trimmed)
                                  : QStringLiteral("'%1': no host named").arg(trimmed));

    if (target.kind == Kind::S3) {
        if (!url.userName().isEmpty() || url.port() != -1)
            return invalid(error, QStringLiteral("'%1': an S3 target is s3://BUCKET/PREFIX/; the "
                                                 "endpoint goes in --endpoint")
                                      .arg(trimmed));
        // Bucket names are case-sensitive in the address; QUrl lowers hosts.
        const qsizetype start = trimmed.indexOf(u"//") + 2;
        const qsizetype end = trimmed.indexOf(u'/', start);
        target.bucket = end < 0 ? trimmed.mid(start) : trimmed.mid(start, end - start);
        target.prefix = path.mid(1);
        if (!target.prefix.isEmpty() && !target.prefix.endsWith(u'/'))
            target.prefix += u'/';
        if (target.prefix.startsWith(u'/') || target.prefix.contains(u"//"))
            return invalid(
                error, QStringLiteral("'%1': the prefix has an empty folder name").arg(trimmed));
        return target;
    }

    target.user = url.userName();
    if (target.user.isEmpty())
        return invalid(error, QStringLiteral("'%1': no user named; write USER@HOST").arg(trimmed));
    target.host = url.host();
    target.port = url.port(0);
    if (path.isEmpty() || path == u"/")
        return invalid(error, QStringLiteral("'%1': no folder named; write /DIR/ for an absolute "
                                             "folder or /~/DIR/ for one in the login's home")
                                  .arg(trimmed));
    if (path == u"/~" || path.startsWith(u"/~/")) {
        target.fromHome = true;
        target.folder = path.mid(3);
    } else {
        target.folder = path;
    }
    if (!target.folder.isEmpty() && !target.folder.endsWith(u'/'))
        target.folder += u'/';
    if (target.folder.contains(u"//"))
        return invalid(error,
                       QStringLiteral("'%1': the folder has an empty name in it").arg(trimmed));
    return target;
}
