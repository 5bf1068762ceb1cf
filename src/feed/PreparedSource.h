#pragma once

#include "FeedSource.h"
#include "xml/BackgroundRead.h"

#include <QByteArray>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <future>
#include <memory>

// The file's source, outlined beside the parse: waited for only where an
// item's values have to be found in the text again, and at the end.
class PreparedSource {
public:
    // Called with the items expected where they are counted, before
    // itemCount() tells it: room made there for them is ready when it does.
    using ItemRoom = std::function<void(qsizetype count)>;

    // In the background for a text the parse reads as it is; else here.
    // `read`, when given, is still filling the text in.
    void start(const QByteArray &text, const std::shared_ptr<const BackgroundRead> &read = {},
               const ItemRoom &room = {}) {
        m_started = true;
        if (isUtf8Text(text, read.get())) {
            m_pending = std::async(std::launch::async, [text, read, room, count = m_itemCount] {
                // A long file's items are expected from its head, so that
                // the room for them is ready early in the parse, however
                // long the rest takes to read.
                const qsizetype head = read ? read->waitFor(std::min(text.size(), Head)) : 0;
                const bool early = head == Head && head < text.size();
                if (early)
                    publishCount(
                        *count, expectedItems(QByteArrayView(text).first(head), text.size()), room);
                if (read && read->wait() != BackgroundRead::Outcome::Whole)
                    return std::shared_ptr<FeedSource>();
                if (!early)
                    publishCount(*count, itemTags(text), room);
                return FeedSource::prepare(text);
            });
            m_text = text;
            return;
        }
        m_ready = true;
        if (read && read->wait() != BackgroundRead::Outcome::Whole)
            return;
        publishCount(*m_itemCount, itemTags(text), room);
        m_source = FeedSource::prepare(text);
        if (m_source)
            m_text = m_source->text();
    }
    bool started() const { return m_started; }
    // The text the episodes share: the source's, byte for byte.
    const QByteArray &text() const { return m_text; }
    // How many items the text is expected to hold: its item tags, or in a
    // long file an estimate from its head (a list sized by it may still
    // grow); -1 until they are counted.
    qsizetype itemCount() const { return m_itemCount->load(std::memory_order_acquire); }
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
    static void publishCount(std::atomic<qsizetype> &count, qsizetype items, const ItemRoom &room) {
        if (room)
            room(items);
        count.store(items, std::memory_order_release);
    }
    // Decided on the text's head where that settles it, so the parse need
    // not wait for the whole file to be read.
    static bool isUtf8Text(const QByteArray &text, const BackgroundRead *read) {
        if (!read)
            return FeedSource::isUtf8Text(text);
        constexpr qsizetype Head = 4096;
        const qsizetype in = read->waitFor(std::min(text.size(), Head));
        const QByteArray head = QByteArray::fromRawData(text.constData(), in);
        const QByteArrayView declaration =
            QByteArrayView(head).sliced(head.startsWith("\xEF\xBB\xBF") ? 3 : 0);
        if (in == text.size() || !declaration.startsWith("<?xml") || head.contains("?>"))
            return FeedSource::isUtf8Text(head);
        // A read that ends short fails the load; the answer no longer matters.
        return read->wait() != BackgroundRead::Outcome::Whole || FeedSource::isUtf8Text(text);
    }
    // The head a long file's items are expected from.
    static constexpr qsizetype Head = qsizetype(1) << 20;
    // The items a text of `size` bytes holds if the rest is like `head`,
    // and a few more; but no more than one for each KB, so that a head of
    // many small items costs at most a tenth of the text in room.
    static qsizetype expectedItems(QByteArrayView head, qsizetype size) {
        const double perByte = double(itemTags(head)) / double(head.size());
        const auto expected = qsizetype(perByte * double(size) * 1.03) + 16;
        return std::min(expected, size / 1024 + 16);
    }
    // "<item" before '>', '/' or white space, counted without parsing (one
    // in a CDATA section counts as well).
    static qsizetype itemTags(QByteArrayView text) {
        const char *data = text.data();
        const qsizetype size = text.size();
        qsizetype count = 0;
        for (qsizetype at = 0; at + 5 < size;) {
            const auto *lt =
                static_cast<const char *>(std::memchr(data + at, '<', size_t(size - at - 5)));
            if (!lt)
                break;
            at = lt - data + 1;
            if (std::memcmp(lt + 1, "item", 4) == 0) {
                const char next = lt[5];
                count += next == '>' || next == '/' || next == ' ' || next == '\t' ||
                         next == '\n' || next == '\r';
            }
        }
        return count;
    }

    std::future<std::shared_ptr<FeedSource>> m_pending;
    std::shared_ptr<FeedSource> m_source;
    std::shared_ptr<std::atomic<qsizetype>> m_itemCount =
        std::make_shared<std::atomic<qsizetype>>(-1);
    QByteArray m_text;
    bool m_started = false;
    bool m_ready = false;
};
