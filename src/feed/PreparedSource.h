#pragma once

#include "FeedSource.h"

#include <QByteArray>
#include <future>
#include <memory>

// The file's source, outlined beside the parse: waited for only where an
// item's values have to be found in the text again, and at the end.
class PreparedSource {
public:
    // In the background for a text the parse reads as it is; else here.
    void start(const QByteArray &text) {
        if (FeedSource::isUtf8Text(text)) {
            m_pending =
                std::async(std::launch::async, [text] { return FeedSource::prepare(text); });
            m_text = text;
        } else {
            m_source = FeedSource::prepare(text);
            m_ready = true;
            if (m_source)
                m_text = m_source->text();
        }
        m_started = true;
    }
    bool started() const { return m_started; }
    // The text the episodes share: the source's, byte for byte.
    const QByteArray &text() const { return m_text; }
    FeedSource *get() {
        if (!m_ready) {
            m_source = m_pending.get();
            m_ready = true;
        }
        return m_source.get();
    }
    std::shared_ptr<FeedSource> take() {
        get();
        return std::move(m_source);
    }

private:
    std::future<std::shared_ptr<FeedSource>> m_pending;
    std::shared_ptr<FeedSource> m_source;
    QByteArray m_text;
    bool m_started = false;
    bool m_ready = false;
};
