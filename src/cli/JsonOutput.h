#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <cstdio>
#include <string>
#include <string_view>

// Streams JSON text in UTF-8 to a C stream through one reused buffer, so a
// document of any size is written in linear time with little memory.
class JsonOutput {
public:
    explicit JsonOutput(std::FILE *out);
    ~JsonOutput();
    JsonOutput(const JsonOutput &) = delete;
    JsonOutput &operator=(const JsonOutput &) = delete;

    void raw(std::string_view text);
    // A quoted string; control characters, quotes and backslashes escaped,
    // and a lone surrogate written as its \u escape instead of broken UTF-8.
    void string(const QString &text);
    // The same for UTF-8 text, as string(QString::fromUtf8(text)) writes it.
    void utf8String(QByteArrayView text);
    // One string of the pieces joined by line feeds, as utf8String() writes
    // the joined text, without joining them first.
    void utf8Lines(const QList<QByteArrayView> &pieces);
    void number(long long value);
    // False when the stream refused the bytes (a closed pipe, a full disk).
    bool flush();

private:
    void flushIfFull();
    // Appends strict UTF-8 with JSON's escapes; false, with part of it
    // appended, at anything else.
    bool appendStrictUtf8(QByteArrayView text);
    void utf8StringChecked(QByteArrayView text);

    std::FILE *m_out;
    std::string m_buffer;
    bool m_failed = false;
};
