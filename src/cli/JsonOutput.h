#pragma once

#include <QByteArrayView>
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
    void number(long long value);
    // False when the stream refused the bytes (a closed pipe, a full disk).
    bool flush();

private:
    void flushIfFull();

    std::FILE *m_out;
    std::string m_buffer;
    bool m_failed = false;
};
