#include "CurlRequest.h"

#include <QIODevice>

namespace {
// libcurl's global state is set up once, before any thread uses it.
struct CurlGlobal {
    CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
};
} // namespace

CurlRequest::CurlRequest() {
    static const CurlGlobal global;
    m_handle = curl_easy_init();
    reset();
}

CurlRequest::~CurlRequest() {
    curl_slist_free_all(m_headers);
    if (m_handle != nullptr)
        curl_easy_cleanup(m_handle);
}

void CurlRequest::reset() {
    curl_easy_reset(m_handle);
    curl_slist_free_all(m_headers);
    m_headers = nullptr;
    m_error[0] = '\0';
    m_upload = nullptr;
    m_progress = nullptr;
    m_cancel = nullptr;
    m_body.clear();
    // Enough for any server's error document.
    m_bodyLimit = 256 * 1024;
    m_bodyTooLarge = false;
    m_aborted = false;
    curl_easy_setopt(m_handle, CURLOPT_ERRORBUFFER, m_error);
    curl_easy_setopt(m_handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_handle, CURLOPT_CONNECTTIMEOUT, 30L);
    // A stalled transfer counts as failed after a minute without a byte.
    curl_easy_setopt(m_handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(m_handle, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(m_handle, CURLOPT_WRITEFUNCTION, &CurlRequest::writeData);
    curl_easy_setopt(m_handle, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(m_handle, CURLOPT_HEADERFUNCTION, &CurlRequest::headerData);
    curl_easy_setopt(m_handle, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(m_handle, CURLOPT_XFERINFOFUNCTION, &CurlRequest::onProgress);
    curl_easy_setopt(m_handle, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(m_handle, CURLOPT_NOPROGRESS, 0L);
}

void CurlRequest::addHeader(const QByteArray &line) {
    m_headers = curl_slist_append(m_headers, line.constData());
    curl_easy_setopt(m_handle, CURLOPT_HTTPHEADER, m_headers);
}

void CurlRequest::setUpload(QIODevice *data, qint64 size, const RemoteStore::Progress *progress,
                            const std::atomic<bool> *cancel) {
    m_upload = data;
    m_progress = progress;
    m_cancel = cancel;
    curl_easy_setopt(m_handle, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(m_handle, CURLOPT_READFUNCTION, &CurlRequest::readData);
    curl_easy_setopt(m_handle, CURLOPT_READDATA, this);
    curl_easy_setopt(m_handle, CURLOPT_INFILESIZE_LARGE, curl_off_t(size));
}

void CurlRequest::setPostBody(const QByteArray &body) {
    curl_easy_setopt(m_handle, CURLOPT_POST, 1L);
    curl_easy_setopt(m_handle, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
    curl_easy_setopt(m_handle, CURLOPT_COPYPOSTFIELDS, body.constData());
}

QByteArray CurlRequest::responseHeader(const QByteArray &name) const {
    QByteArray value;
    for (const QByteArray &line : m_responseHeaders) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            value = line.mid(colon + 1).trimmed();
    }
    return value;
}

void CurlRequest::keepBody(qint64 limit) {
    m_bodyLimit = limit;
}

CURLcode CurlRequest::perform() {
    m_body.clear();
    m_responseHeaders.clear();
    m_bodyTooLarge = false;
    m_aborted = false;
    m_error[0] = '\0';
    return curl_easy_perform(m_handle);
}

long CurlRequest::responseCode() const {
    long code = 0;
    curl_easy_getinfo(m_handle, CURLINFO_RESPONSE_CODE, &code);
    return code;
}

QString CurlRequest::errorText(CURLcode code) const {
    const QString text = m_error[0] != '\0' ? QString::fromUtf8(m_error)
                                            : QString::fromUtf8(curl_easy_strerror(code));
    return text.trimmed();
}

bool CurlRequest::isTransient(CURLcode code) {
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_FTP_ACCEPT_TIMEOUT:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_WEIRD_SERVER_REPLY:
        return true;
    default:
        return false;
    }
}

size_t CurlRequest::readData(char *buffer, size_t size, size_t count, void *self) {
    auto *request = static_cast<CurlRequest *>(self);
    if (request->m_cancel != nullptr && request->m_cancel->load()) {
        request->m_aborted = true;
        return CURL_READFUNC_ABORT;
    }
    const qint64 read = request->m_upload->read(buffer, qint64(size * count));
    if (read < 0) {
        request->m_aborted = true;
        return CURL_READFUNC_ABORT;
    }
    return size_t(read);
}

size_t CurlRequest::writeData(char *buffer, size_t size, size_t count, void *self) {
    auto *request = static_cast<CurlRequest *>(self);
    const qint64 bytes = qint64(size * count);
    if (request->m_body.size() + bytes > request->m_bodyLimit) {
        request->m_bodyTooLarge = true;
        return 0;
    }
    request->m_body.append(buffer, bytes);
    return size * count;
}

size_t CurlRequest::headerData(char *buffer, size_t size, size_t count, void *self) {
    auto *request = static_cast<CurlRequest *>(self);
    // A few dozen lines at most; a flood is cut off.
    if (request->m_responseHeaders.size() < 200)
        request->m_responseHeaders.append(QByteArray(buffer, qsizetype(size * count)));
    return size * count;
}

int CurlRequest::onProgress(void *self, curl_off_t, curl_off_t, curl_off_t, curl_off_t sent) {
    auto *request = static_cast<CurlRequest *>(self);
    if (request->m_cancel != nullptr && request->m_cancel->load()) {
        request->m_aborted = true;
        return 1;
    }
    if (request->m_progress != nullptr && *request->m_progress && request->m_upload != nullptr)
        (*request->m_progress)(qint64(sent));
    return 0;
}
