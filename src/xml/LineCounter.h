#pragma once

#include <QByteArray>

// Line numbers of one text, asked in increasing order, so counting is linear.
class LineCounter {
public:
    explicit LineCounter(const QByteArray &text)
        : m_text(text) {}

    int lineAt(qsizetype offset) {
        if (offset < m_offset) {
            m_offset = 0;
            m_line = 1;
        }
        for (; m_offset < offset && m_offset < m_text.size(); ++m_offset) {
            const char c = m_text[m_offset];
            // A CR alone ends a line too; CR LF ends one.
            if (c == '\n' ||
                (c == '\r' && (m_offset + 1 >= m_text.size() || m_text[m_offset + 1] != '\n')))
                ++m_line;
        }
        return m_line;
    }

private:
    const QByteArray &m_text;
    qsizetype m_offset = 0;
    int m_line = 1;
};
