#include "FtpStore.h"

#include <QFile>
#include <QIODevice>
#include <QUrl>

namespace {
// How much of a cut upload's end is compared with the local file before
// going on from there.
constexpr qint64 ResumeCheck = 64 * 1024;

QString temporaryName(const QString &name) {
    return u'.' + name + QStringLiteral(".brindlewood-part");
}

QByteArray encodedPath(const QString &path) {
    QByteArray encoded;
    const QStringList segments = path.split(u'/');
    for (qsizetype i = 0; i < segments.size(); ++i) {
        if (i > 0)
            encoded += '/';
        encoded += QUrl::toPercentEncoding(segments[i]);
    }
    return encoded;
}
} // namespace

FtpStore::FtpStore(const PublishTarget &target, const PublishSettings &settings)
    : m_target(target)
    , m_settings(settings) {}

QByteArray FtpStore::urlOf(const QString &relative) const {
    QByteArray url = "ftp://" + QUrl::toPercentEncoding(m_target.host, ":");
    if (m_target.host.contains(u':'))
        url = "ftp://[" + m_target.host.toUtf8() + ']';
    if (m_target.port != 0)
        url += ':' + QByteArray::number(m_target.port);
    url += '/';
    // An absolute folder starts at the server's root ("%2F"), a /~/ one at
    // the login's own folder.
    const QString path = m_target.remotePath(relative);
    if (path.startsWith(u'/'))
        url += "%2F" + encodedPath(path.mid(1));
    else
        url += encodedPath(path);
    return url;
}

void FtpStore::prepare(const QByteArray &url) {
    m_request.reset();
    CURL *curl = m_request.handle();
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "ftp");
    const QByteArray user = m_target.user.toUtf8();
    const QByteArray password = m_settings.ftpPassword.toUtf8();
    curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    if (m_target.kind == PublishTarget::Kind::Ftps) {
        curl_easy_setopt(curl, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
        // Before 8.9, libcurl closes a TLS 1.3 upload's data connection so
        // early that servers such as vsftpd answer a complete upload with
        // 426; TLS 1.2 ends it cleanly.
        if (curl_version_info(CURLVERSION_NOW)->version_num < 0x080900)
            curl_easy_setopt(curl, CURLOPT_SSLVERSION,
                             long(CURL_SSLVERSION_TLSv1_2 | CURL_SSLVERSION_MAX_TLSv1_2));
        if (!m_settings.caFile.isEmpty())
            curl_easy_setopt(curl, CURLOPT_CAINFO,
                             QFile::encodeName(m_settings.caFile).constData());
    }
}

RemoteStore::Failure FtpStore::failure(CURLcode code, const QString &what) const {
    QString text = m_request.errorText(code);
    if (const long reply = m_request.responseCode(); reply >= 400)
        text += QStringLiteral(" (server reply %1)").arg(reply);
    return {QStringLiteral("%1: %2").arg(what, text), CurlRequest::isTransient(code)};
}

RemoteStore::Failure FtpStore::open() {
    if (m_target.kind == PublishTarget::Kind::Ftp && !m_settings.allowPlainFtp)
        return {QStringLiteral("plain ftp:// sends the password and the files unencrypted; use "
                               "ftps://, or confirm with --allow-plain-ftp"),
                false};
    QByteArray root = urlOf(QString());
    prepare(root.left(root.indexOf('/', 6) + 1));
    curl_easy_setopt(m_request.handle(), CURLOPT_NOBODY, 1L);
    if (const CURLcode code = m_request.perform(); code != CURLE_OK)
        return failure(code, m_target.text());
    return {};
}

RemoteStore::Failure FtpStore::size(const QString &relative, qint64 *bytes) {
    prepare(urlOf(relative));
    curl_easy_setopt(m_request.handle(), CURLOPT_NOBODY, 1L);
    const CURLcode code = m_request.perform();
    // A missing file, or a folder not made yet, is a file not there.
    if (code == CURLE_REMOTE_FILE_NOT_FOUND || code == CURLE_FTP_COULDNT_RETR_FILE ||
        code == CURLE_REMOTE_ACCESS_DENIED) {
        *bytes = -1;
        return {};
    }
    if (code != CURLE_OK)
        return failure(code, relative);
    curl_off_t length = -1;
    curl_easy_getinfo(m_request.handle(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    *bytes = qint64(length);
    return {};
}

qint64 FtpStore::resumeOffset(QIODevice &data, const QString &temporary, qint64 size) {
    qint64 have = -1;
    if (this->size(temporary, &have) || have <= 0 || have >= size)
        return 0;
    // Only a part that ends as the local file does at that point goes on.
    const qint64 start = std::max<qint64>(0, have - ResumeCheck);
    prepare(urlOf(temporary));
    const QByteArray range = QByteArray::number(start) + '-' + QByteArray::number(have - 1);
    curl_easy_setopt(m_request.handle(), CURLOPT_RANGE, range.constData());
    m_request.keepBody(have - start);
    if (m_request.perform() != CURLE_OK || m_request.body().size() != have - start)
        return 0;
    if (!data.seek(start) || data.read(have - start) != m_request.body())
        return 0;
    return have;
}

RemoteStore::Failure FtpStore::put(QIODevice &data, const Upload &upload, const Progress &progress,
                                   const std::atomic<bool> &cancel) {
    const qsizetype slash = upload.relative.lastIndexOf(u'/');
    const QString folder = upload.relative.left(slash + 1);
    const QString name = upload.relative.mid(slash + 1);
    const QString temporary = folder + temporaryName(name);

    const qint64 offset = upload.resumable ? resumeOffset(data, temporary, upload.size) : 0;
    prepare(urlOf(temporary));
    curl_easy_setopt(m_request.handle(), CURLOPT_FTP_CREATE_MISSING_DIRS,
                     long(CURLFTP_CREATE_DIR_RETRY));
    // A cut upload goes on where it stopped (APPE), its part kept.
    const Progress shifted = [&](qint64 sent) {
        if (progress)
            progress(offset + sent);
    };
    if (offset > 0)
        curl_easy_setopt(m_request.handle(), CURLOPT_APPEND, 1L);
    if (!data.seek(offset))
        return {QStringLiteral("%1: %2").arg(upload.relative, data.errorString()), false};
    m_request.setUpload(&data, upload.size - offset, &shifted, &cancel);
    CURLcode code = m_request.perform();
    if (m_request.aborted() && cancel.load())
        return {QStringLiteral("cancelled"), false};
    if (code != CURLE_OK)
        return failure(code, upload.relative);

    qint64 stored = -1;
    if (Failure failed = size(temporary, &stored))
        return failed;
    if (stored != upload.size)
        return sizeMismatch(upload, stored, "upload");

    // The rename runs in the file's folder, after libcurl has changed to it.
    prepare(urlOf(temporary));
    curl_easy_setopt(m_request.handle(), CURLOPT_NOBODY, 1L);
    const QByteArray from = "RNFR " + temporaryName(name).toUtf8();
    const QByteArray to = "RNTO " + name.toUtf8();
    curl_slist *commands = curl_slist_append(nullptr, from.constData());
    commands = curl_slist_append(commands, to.constData());
    curl_easy_setopt(m_request.handle(), CURLOPT_POSTQUOTE, commands);
    code = m_request.perform();
    curl_easy_setopt(m_request.handle(), CURLOPT_POSTQUOTE, nullptr);
    curl_slist_free_all(commands);
    if (code != CURLE_OK)
        return failure(code, upload.relative);
    if (Failure failed = size(upload.relative, &stored))
        return failed;
    if (stored != upload.size)
        return sizeMismatch(upload, stored, "rename");
    return {};
}
