#pragma once

#include "RemoteStore.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <curl/curl.h>

class QIODevice;

// One libcurl easy handle, reused so that requests share a connection. Each
// request starts from reset() and its own options.
class CurlRequest {
public:
    CurlRequest();
    ~CurlRequest();
    CurlRequest(const CurlRequest &) = delete;
    CurlRequest &operator=(const CurlRequest &) = delete;

    // Clears the previous request's options but keeps the connection.
    void reset();
    CURL *handle() const { return m_handle; }
    void addHeader(const QByteArray &line);
    // Sends size bytes of data as the request body (PUT, FTP STOR).
    void setUpload(QIODevice *data, qint64 size, const RemoteStore::Progress *progress,
                   const std::atomic<bool> *cancel);
    // Sends `body` as the body of a POST.
    void setPostBody(const QByteArray &body);
    // Keeps at most limit bytes of the response body.
    void keepBody(qint64 limit);

    CURLcode perform();
    long responseCode() const;
    const QByteArray &body() const { return m_body; }
    bool bodyTooLarge() const { return m_bodyTooLarge; }
    bool aborted() const { return m_aborted; }
    // The value of a response header (the last one of that name), or empty.
    QByteArray responseHeader(const QByteArray &name) const;
    // libcurl's own words for the last failure.
    QString errorText(CURLcode code) const;
    // Whether another try may succeed: a dropped or refused connection, a
    // timeout, a cut transfer.
    static bool isTransient(CURLcode code);

private:
    static size_t readData(char *buffer, size_t size, size_t count, void *self);
    static size_t writeData(char *buffer, size_t size, size_t count, void *self);
    static size_t headerData(char *buffer, size_t size, size_t count, void *self);
    static int onProgress(void *self, curl_off_t, curl_off_t, curl_off_t, curl_off_t sent);

    CURL *m_handle = nullptr;
    curl_slist *m_headers = nullptr;
    char m_error[CURL_ERROR_SIZE] = {};
    QIODevice *m_upload = nullptr;
    const RemoteStore::Progress *m_progress = nullptr;
    const std::atomic<bool> *m_cancel = nullptr;
    QByteArray m_body;
    QList<QByteArray> m_responseHeaders;
    qint64 m_bodyLimit = 0;
    bool m_bodyTooLarge = false;
    bool m_aborted = false;
};
