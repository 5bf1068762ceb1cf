#pragma once

#include "model/Episode.h"
#include "model/PodcastContent.h"
#include "xml/XmlOutline.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <memory>
#include <optional>
#include <vector>

// A loaded feed's own text, kept so that a save changes only what the user
// changed: where each field, column and item stands in it, and what the load
// put into the document, to tell what changed since.
class FeedSource {
public:
    // What the load took from the file, as it went into the document.
    struct Loaded {
        std::array<QString, 12> fields;
        std::array<bool, 12> fieldRead{};
        QList<Episode> episodes; // with source set to their index
        QByteArray channelExtra;
        QByteArray hiddenItems;
        QByteArray prolog;
        PodcastContent::Namespaces namespaces;
    };

    // The source of a file being loaded from `bytes`, in two steps: the
    // text and where things stand in it, before the parse (so that the load
    // can share the text); then what the load read, with the items it
    // listed (see listItem) out of `itemsRead` in all. Each answers null when the text cannot be
    // followed; the document is then saved in the fixed layout.
    static std::shared_ptr<FeedSource> prepare(const QByteArray &bytes);
    static std::shared_ptr<const FeedSource> finish(std::shared_ptr<FeedSource> source,
                                                    Loaded loaded, qsizetype itemsRead);
    // The load listed the channel's item number `ordinal` (from 0, all
    // items counted) as its next episode; the element standing for it, or
    // -1 when the text has no such item.
    qint32 listItem(qsizetype ordinal);
    // How many items the channel has, listed or not.
    qsizetype itemCount() const { return qsizetype(m_allItems.size()); }
    // The element of the channel's item number `ordinal` (from 0, all
    // items counted), or -1.
    qint32 itemElement(qsizetype ordinal) const;
    // An item element and its children (element 0 and 1..), in the text.
    std::optional<XmlOutline> itemOutline(qint32 item) const;

    // The file's text in UTF-8, its declaration saying so.
    const QByteArray &text() const { return m_text; }
    const XmlOutline &outline() const { return m_outline; }
    qint32 root() const { return 0; }
    qint32 channel() const { return m_channel; }
    // The element of each listed item, by the source index of its episode.
    // The outline leaves out the items' children: see itemOutline().
    const std::vector<qint32> &items() const { return m_items; }
    // The file's line end: the first one it has.
    QByteArrayView eol() const { return m_eol; }
    const Loaded &loaded() const { return m_loaded; }

    // Whether the file had the element (or attribute) of a field, or of a
    // column of the item `source`: an empty value is written only then.
    bool hasField(int index) const;
    bool hasColumn(qint32 source, int column) const;

    // The element holding field `index` (its parent for an owner field when
    // the child is missing is not returned), or -1.
    qint32 fieldElement(int index) const;
    // For a field read from an attribute (Category, Image Link) whose element
    // has no attribute but text: that text, trimmed; else a null string.
    QString valueAsText(int index) const;

    // The bytes of a file in any encoding as UTF-8 text whose declaration
    // says utf-8; nullopt when they cannot be converted.
    static std::optional<QByteArray> utf8Text(const QByteArray &bytes);
    // Whether utf8Text() takes these bytes as they are.
    static bool isUtf8Text(const QByteArray &bytes);

private:
    FeedSource() = default;

    QByteArray m_text;
    XmlOutline m_outline;
    qint32 m_channel = -1;
    std::vector<qint32> m_allItems; // every item of the channel
    std::vector<qint32> m_items;    // those listed
    QByteArray m_eol;
    Loaded m_loaded;
};
