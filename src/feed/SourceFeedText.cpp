#include "SourceFeedText.h"

#include "FeedFile.h"
#include "FeedSchema.h"
#include "FeedSource.h"
#include "FeedText.h"
#include "model/PodcastDocument.h"

#include <algorithm>
#include <vector>

namespace {
using Attribute = XmlOutline::Attribute;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// A value goes in as held; only a carriage return needs a reference to come
// back from a reading, which turns a bare one into a line feed.
QByteArray textBytes(const QString &value) {
    QByteArray bytes = value.toUtf8();
    if (bytes.contains('\r'))
        bytes.replace("\r", "&#13;");
    return bytes;
}

QByteArray attributeBytes(const QString &value, char quote) {
    QByteArray bytes = textBytes(value);
    if (quote == '\'' && bytes.contains('\''))
        bytes.replace("'", "&apos;");
    return bytes;
}

QByteArray localName(QByteArrayView qualified) {
    const qsizetype colon = qualified.indexOf(':');
    return (colon < 0 ? qualified : qualified.sliced(colon + 1)).toByteArray().toLower();
}

// The attribute a Category or Image Link value is read from: the one the
// editor writes (text, href), else the first.
qsizetype firstAttributeValue(const QList<Attribute> &attributes, const char *written) {
    for (qsizetype i = 0; i < attributes.size(); ++i) {
        if (attributes[i].qualifiedName == written)
            return i;
    }
    return attributes.isEmpty() ? -1 : 0;
}

// An enclosure attribute: any prefix and letter case, the last one winning.
qsizetype enclosureValue(const QList<Attribute> &attributes, const char *name) {
    qsizetype found = -1;
    for (qsizetype i = 0; i < attributes.size(); ++i) {
        if (localName(attributes[i].qualifiedName) == name)
            found = i;
    }
    return found;
}

struct Edit {
    qsizetype begin;
    qsizetype end;
    QByteArray text;
};

class Editor {
public:
    explicit Editor(const FeedSource &source)
        : Editor(source, source.outline()) {}
    // Edits within one part of the text, outlined on its own (an item).
    Editor(const FeedSource &source, const XmlOutline &outline)
        : m_source(source)
        , m_text(source.text())
        , m_outline(outline) {}

    void replace(qsizetype begin, qsizetype end, QByteArray text) {
        m_edits.push_back({begin, end, std::move(text)});
    }
    void insert(qsizetype at, QByteArray text) { replace(at, at, std::move(text)); }

    // The text from..to with the edits inside it made, in one block.
    QByteArray apply(qsizetype from, qsizetype to) { return pieces(from, to).joined(); }

    // The same in pieces: the kept text between the edits is not copied.
    TextPieces pieces(qsizetype from, qsizetype to) {
        sortEdits();
        TextPieces out;
        qsizetype at = from;
        for (Edit &edit : m_edits) {
            out.appendView(m_text.sliced(at, edit.begin - at));
            out.append(std::move(edit.text));
            at = edit.end;
        }
        out.appendView(m_text.sliced(at, to - at));
        m_edits.clear();
        return out;
    }

    // The blanks that start the line of `at`, when nothing else stands there.
    QByteArray indentOf(qsizetype at) const {
        qsizetype i = at;
        while (i > 0 && (m_text[i - 1] == ' ' || m_text[i - 1] == '\t'))
            --i;
        if (i > 0 && m_text[i - 1] != '\n')
            return {};
        return m_text.sliced(i, at - i).toByteArray();
    }

    // The value of a text element: its content, or the whole of an empty tag.
    void setText(qint32 element, const QString &value) {
        const XmlOutline::Element &e = m_outline.at(element);
        if (!e.isSelfClosing()) {
            replace(e.contentBegin, e.contentEnd, textBytes(value));
            return;
        }
        if (value.isEmpty())
            return;
        qsizetype tagEnd = e.contentBegin - 2; // the '/' of "/>"
        while (tagEnd > m_outline.nameEnd(element) && isSpace(m_text[tagEnd - 1]))
            --tagEnd;
        const QByteArrayView name = m_outline.name(element);
        replace(tagEnd, e.end, '>' + textBytes(value) + "</" + name.toByteArray() + '>');
    }

    // Sets or adds one attribute; `index` is the attribute's, or -1.
    void setAttribute(qint32 element, const QList<Attribute> &attributes, qsizetype index,
                      const char *name, const QString &value) {
        if (index >= 0) {
            const Attribute &a = attributes[index];
            replace(a.valueBegin, a.valueEnd, attributeBytes(value, a.quote));
            return;
        }
        if (value.isEmpty())
            return;
        const qsizetype at =
            attributes.isEmpty() ? m_outline.nameEnd(element) : attributes.last().valueEnd + 1;
        insert(at, ' ' + QByteArray(name) + "=\"" + attributeBytes(value, '"') + '"');
    }

    // A new child of `parent` after the nearest one that precedes it in
    // `order`, or first of all.
    // `lead` goes before the element: a line end and indentation, or nothing
    // where the file keeps its elements on one line.
    template<size_t N>
    void insertChild(qint32 parent, const std::array<const char *, N> &order, const char *name,
                     const QByteArray &lead, const QByteArray &element) {
        const auto position = std::find_if(order.begin(), order.end(), [&](const char *n) {
            return QByteArrayView(n) == QByteArrayView(name);
        });
        qsizetype at = m_outline.at(parent).contentBegin;
        for (auto it = position; it != order.begin();) {
            --it;
            const qint32 before = m_outline.child(parent, *it);
            if (before >= 0) {
                at = m_outline.at(before).end;
                break;
            }
        }
        insert(at, lead + element);
    }

    // The line end and indentation to put before a new child of `parent`,
    // the file's own for that parent's children.
    QByteArray leadOf(qint32 parent, const QByteArray &fallbackIndent) const {
        const XmlOutline::Element &e = m_outline.at(parent);
        const qsizetype first = e.firstChild >= 0 ? m_outline.at(e.firstChild).begin : -1;
        if (first >= 0 && !m_text.sliced(e.contentBegin, first - e.contentBegin).contains('\n'))
            return {};
        QByteArray indent = first >= 0 ? indentOf(first) : QByteArray();
        if (indent.isEmpty())
            indent = fallbackIndent;
        return m_source.eol().toByteArray() + indent;
    }

private:
    void sortEdits() {
        std::stable_sort(m_edits.begin(), m_edits.end(),
                         [](const Edit &a, const Edit &b) { return a.begin < b.begin; });
    }

    const FeedSource &m_source;
    QByteArrayView m_text;
    const XmlOutline &m_outline;
    std::vector<Edit> m_edits;
};

QByteArray textElement(const char *name, const QString &value) {
    return '<' + QByteArray(name) + '>' + textBytes(value) + "</" + QByteArray(name) + '>';
}

// How far in a level goes, from an element and its first child.
QByteArray stepOf(const QByteArray &outer, const QByteArray &inner) {
    if (inner.size() > outer.size() && inner.startsWith(outer))
        return inner.sliced(outer.size());
    return outer.contains('\t') ? QByteArray("\t") : QByteArray("  ");
}

class Writer {
public:
    Writer(const PodcastDocument &document, const FeedSource &source)
        : m_document(document)
        , m_source(source)
        , m_outline(source.outline())
        , m_edits(source) {
        const qint32 channel = source.channel();
        m_channelIndent = m_edits.indentOf(m_outline.at(channel).begin);
        const qint32 first = m_outline.at(channel).firstChild;
        m_childIndent = first >= 0 ? m_edits.indentOf(m_outline.at(first).begin) : QByteArray();
        if (m_childIndent.isEmpty())
            m_childIndent = m_channelIndent + stepOf(m_channelIndent, {});
        m_step = stepOf(m_channelIndent, m_childIndent);
        m_itemIndent = m_childIndent;
        m_itemChildIndent = m_childIndent + m_step;
        if (!source.items().empty()) {
            const qint32 item = source.items().front();
            if (QByteArray indent = m_edits.indentOf(m_outline.at(item).begin); !indent.isEmpty())
                m_itemIndent = indent;
            const std::optional<XmlOutline> itemOutline = source.itemOutline(item);
            const qint32 child = itemOutline ? itemOutline->at(0).firstChild : -1;
            QByteArray childIndent =
                child >= 0 ? m_edits.indentOf(itemOutline->at(child).begin) : QByteArray();
            m_itemChildIndent = childIndent.isEmpty() ? m_itemIndent + m_step : childIndent;
        }
    }

    QByteArray write(const QString &buildDate) {
        edit(buildDate);
        return m_edits.apply(0, m_source.text().size());
    }
    TextPieces writePieces(const QString &buildDate) {
        edit(buildDate);
        return m_edits.pieces(0, m_source.text().size());
    }

private:
    void edit(const QString &buildDate) {
        buildDateElement(buildDate);
        fields();
        items();
        namespaces();
    }

    void buildDateElement(const QString &buildDate) {
        const qint32 channel = m_source.channel();
        const qint32 element = m_outline.child(channel, FeedSchema::BuildDateElement);
        if (element >= 0) {
            m_edits.setText(element, buildDate);
            return;
        }
        m_edits.insert(m_outline.at(channel).contentBegin,
                       m_edits.leadOf(channel, m_childIndent) +
                           textElement(FeedSchema::BuildDateElement, buildDate));
    }

    void fields() {
        const FeedSource::Loaded &loaded = m_source.loaded();
        const qint32 channel = m_source.channel();
        QList<int> ownerMissing;
        for (int k = 0; k < ChannelField::Count; ++k) {
            const QString value = m_document.field(k);
            if (value == loaded.fields[size_t(k)])
                continue;
            const FeedSchema::Place &place = FeedSchema::Channel[size_t(k)];
            const qint32 element = m_source.fieldElement(k);
            if (element >= 0) {
                if (!place.attribute) {
                    m_edits.setText(element, value);
                    continue;
                }
                const QList<Attribute> attributes = m_outline.attributes(element);
                m_edits.setAttribute(element, attributes,
                                     firstAttributeValue(attributes, place.attribute),
                                     place.attribute, value);
                continue;
            }
            if (value.isEmpty())
                continue;
            if (place.parent) {
                ownerMissing.append(k);
                continue;
            }
            const QByteArray text = place.attribute
                                        ? '<' + QByteArray(place.element) + ' ' + place.attribute +
                                              "=\"" + attributeBytes(value, '"') + "\" />"
                                        : textElement(place.element, value);
            m_edits.insertChild(channel, FeedSchema::ChannelOrder, place.element,
                                m_edits.leadOf(channel, m_childIndent), text);
            m_usesItunes |= QByteArrayView(place.element).startsWith("itunes:");
        }
        if (!ownerMissing.isEmpty())
            owner(ownerMissing);
    }

    // Owner Name and Owner Email the file lacked.
    void owner(const QList<int> &missing) {
        const qint32 channel = m_source.channel();
        const qint32 owner =
            m_outline.child(channel, FeedSchema::Channel[ChannelField::OwnerName].parent);
        const QByteArray eol = m_source.eol().toByteArray();
        m_usesItunes = true;
        if (owner >= 0 && !m_outline.at(owner).isSelfClosing()) {
            const QByteArray lead =
                m_edits.leadOf(owner, m_edits.indentOf(m_outline.at(owner).begin) + m_step);
            static constexpr std::array<const char *, 2> Order{"itunes:name", "itunes:email"};
            for (int k : missing) {
                const char *name = FeedSchema::Channel[size_t(k)].element;
                m_edits.insertChild(owner, Order, name, lead,
                                    textElement(name, m_document.field(k)));
            }
            return;
        }
        QByteArray text = QByteArray(FeedSchema::Channel[ChannelField::OwnerName].parent);
        text = '<' + text + '>';
        for (int k : missing) {
            text += eol + m_childIndent + m_step +
                    textElement(FeedSchema::Channel[size_t(k)].element, m_document.field(k));
        }
        text += eol + m_childIndent + "</itunes:owner>";
        if (owner >= 0) {
            const XmlOutline::Element &e = m_outline.at(owner);
            m_edits.replace(e.begin, e.end, text);
            return;
        }
        m_edits.insertChild(channel, FeedSchema::ChannelOrder, "itunes:owner",
                            m_edits.leadOf(channel, m_childIndent), text);
    }

    void items() {
        const std::vector<qint32> &slots = m_source.items();
        const QList<Episode> &episodes = m_document.episodes();
        m_itemLead = m_edits.leadOf(m_source.channel(), m_itemIndent);
        if (!slots.empty() && m_edits.indentOf(m_outline.at(slots.front()).begin).isEmpty())
            m_itemLead.clear();
        std::vector<bool> used(slots.size(), false);
        const qsizetype count = episodes.size();
        const auto slotCount = qsizetype(slots.size());
        qsizetype appendAt = -1;
        if (slotCount > 0) {
            appendAt = m_outline.at(slots.back()).end;
        } else {
            const qint32 channel = m_source.channel();
            appendAt = m_outline.at(channel).contentBegin;
            for (qint32 i = m_outline.at(channel).firstChild; i >= 0;
                 i = m_outline.at(i).nextSibling)
                appendAt = m_outline.at(i).end;
        }
        for (qsizetype i = 0; i < count; ++i) {
            const Episode &episode = episodes[i];
            qint32 source = episode.source;
            if (source < 0 || source >= slotCount || used[size_t(source)])
                source = -1;
            else
                used[size_t(source)] = true;
            if (i < slotCount) {
                if (source == i && unchanged(episode, source))
                    continue;
                const XmlOutline::Element &slot = m_outline.at(slots[size_t(i)]);
                m_edits.replace(slot.begin, slot.end, itemText(episode, source));
            } else {
                m_edits.insert(appendAt, m_itemLead + itemText(episode, source));
            }
        }
        // Items no episode fills any more go with the white space before them.
        for (qsizetype i = count; i < slotCount; ++i) {
            const XmlOutline::Element &slot = m_outline.at(slots[size_t(i)]);
            qsizetype begin = slot.begin;
            while (begin > 0 && isSpace(m_source.text()[begin - 1]))
                --begin;
            m_edits.replace(begin, slot.end, {});
        }
    }

    bool unchanged(const Episode &episode, qint32 source) const {
        const Episode &loaded = m_source.loaded().episodes[source];
        return episode == loaded;
    }

    QByteArray itemText(const Episode &episode, qint32 source) {
        if (source >= 0 && episode.sameExtra(m_source.loaded().episodes[source])) {
            const std::optional<XmlOutline> outline =
                m_source.itemOutline(m_source.items()[size_t(source)]);
            if (outline)
                return editedItem(episode, source, outline);
        }
        // New, or its kept content changed: written whole, in the file's layout.
        FeedText::ItemLayout layout{
            m_source.eol().toByteArray(), m_itemIndent, m_itemChildIndent, m_step, {}};
        layout.writeEmpty[EpisodeColumn::Title] = true;
        for (int c = 0; c < EpisodeColumn::Count; ++c) {
            if (source >= 0 && m_source.hasColumn(source, c))
                layout.writeEmpty[size_t(c)] = true;
        }
        m_usesItunes = true;
        m_newItems = true;
        return FeedText::itemUtf8(episode, layout);
    }

    // `outline` is the item's own: the item is its element 0.
    QByteArray editedItem(const Episode &episode, qint32 source,
                          const std::optional<XmlOutline> &outline) {
        const Episode &loaded = m_source.loaded().episodes[source];
        const qint32 item = 0;
        Editor edits(m_source, *outline);
        bool enclosureWanted = false;
        for (int c = 0; c < EpisodeColumn::Count; ++c) {
            if (episode.view(c) == loaded.view(c))
                continue;
            const QString value = episode[c];
            const FeedSchema::Place &place = FeedSchema::Item[size_t(c)];
            const qint32 element = outline->child(item, place.element);
            if (place.attribute) {
                if (element >= 0) {
                    const QList<Attribute> attributes = outline->attributes(element);
                    edits.setAttribute(element, attributes,
                                       enclosureValue(attributes, place.attribute), place.attribute,
                                       value);
                } else {
                    enclosureWanted |= !value.isEmpty();
                }
                continue;
            }
            if (element >= 0) {
                edits.setText(element, value);
            } else if (!value.isEmpty()) {
                edits.insertChild(item, FeedSchema::ItemOrder, place.element,
                                  edits.leadOf(item, m_itemChildIndent),
                                  textElement(place.element, value));
                m_usesItunes |= QByteArrayView(place.element).startsWith("itunes:");
            }
        }
        if (enclosureWanted) {
            namespace E = EpisodeColumn;
            const QByteArray text = "<enclosure url=\"" + attributeBytes(episode[E::Url], '"') +
                                    "\" type=\"" + attributeBytes(episode[E::Type], '"') +
                                    "\" length=\"" + attributeBytes(episode[E::Length], '"') +
                                    "\" />";
            edits.insertChild(item, FeedSchema::ItemOrder, "enclosure",
                              edits.leadOf(item, m_itemChildIndent), text);
        }
        const XmlOutline::Element &e = outline->at(item);
        return edits.apply(e.begin, e.end);
    }

    // Prefixes that new text uses and the root does not declare.
    void namespaces() {
        const qint32 root = m_source.root();
        const QList<Attribute> attributes = m_outline.attributes(root);
        const auto declared = [&](const QByteArray &prefix) {
            const QByteArray name = "xmlns:" + prefix;
            return std::any_of(attributes.begin(), attributes.end(),
                               [&](const Attribute &a) { return a.qualifiedName == name; });
        };
        QByteArray added;
        if (m_usesItunes && !declared("itunes") && !declaredOnChannel("itunes"))
            added += QByteArray(" xmlns:itunes=\"") + FeedSchema::ItunesNamespace + '"';
        const PodcastContent::Namespaces &loaded = m_source.loaded().namespaces;
        for (const auto &[prefix, name] : m_document.namespaces()) {
            const bool isNew = !loaded.contains(std::pair(prefix, name));
            if ((isNew || m_newItems) && !declared(prefix.toUtf8()))
                added += " xmlns:" + prefix.toUtf8() + "=\"" + attributeBytes(name, '"') + '"';
        }
        if (added.isEmpty())
            return;
        const qsizetype at =
            attributes.isEmpty() ? m_outline.nameEnd(root) : attributes.last().valueEnd + 1;
        m_edits.insert(at, added);
    }

    bool declaredOnChannel(const QByteArray &prefix) const {
        const QByteArray name = "xmlns:" + prefix;
        const QList<Attribute> attributes = m_outline.attributes(m_source.channel());
        return std::any_of(attributes.begin(), attributes.end(),
                           [&](const Attribute &a) { return a.qualifiedName == name; });
    }

    const PodcastDocument &m_document;
    const FeedSource &m_source;
    const XmlOutline &m_outline;
    Editor m_edits;
    QByteArray m_channelIndent;
    QByteArray m_childIndent;
    QByteArray m_step;
    QByteArray m_itemIndent;
    QByteArray m_itemChildIndent;
    QByteArray m_itemLead;
    bool m_usesItunes = false;
    bool m_newItems = false;
};
// Kept content the loaded text cannot carry over is written in the fixed layout.
bool writesSourceText(const PodcastDocument &document, const FeedSource &source) {
    const FeedSource::Loaded &loaded = source.loaded();
    return document.channelExtra() == loaded.channelExtra && document.prolog() == loaded.prolog &&
           document.hiddenItems() == loaded.hiddenItems;
}
} // namespace

namespace SourceFeedText {
QByteArray fromSource(const PodcastDocument &document, const FeedSource &source,
                      const QString &buildDate) {
    if (!writesSourceText(document, source))
        return {};
    return Writer(document, source).write(buildDate);
}

TextPieces buildPieces(const PodcastDocument &document, const QString &buildDate) {
    if (const std::shared_ptr<const FeedSource> &source = document.source()) {
        if (writesSourceText(document, *source)) {
            TextPieces pieces = Writer(document, *source).writePieces(buildDate);
            pieces.keep(source);
            return pieces;
        }
    }
    return TextPieces(FeedText::buildUtf8(document, buildDate));
}

QByteArray buildUtf8(const PodcastDocument &document, const QString &buildDate) {
    if (const std::shared_ptr<const FeedSource> &source = document.source()) {
        QByteArray bytes = fromSource(document, *source, buildDate);
        if (!bytes.isNull())
            return bytes;
    }
    return FeedText::buildUtf8(document, buildDate);
}

QByteArray buildChecked(const PodcastDocument &document, const QString &buildDate,
                        QString *reason) {
    QByteArray bytes = buildUtf8(document, buildDate);
    *reason = FeedFile::wellFormednessError(bytes);
    if (reason->isEmpty() || !document.source())
        return bytes;
    QByteArray fixed = FeedText::buildUtf8(document, buildDate);
    if (FeedFile::wellFormednessError(fixed).isEmpty()) {
        reason->clear();
        return fixed;
    }
    return bytes;
}

bool writesEmptyField(const PodcastDocument &document, int index) {
    const std::shared_ptr<const FeedSource> &source = document.source();
    return !source || source->hasField(index);
}

bool writesEmptyColumn(const PodcastDocument &document, qsizetype number, int column) {
    const std::shared_ptr<const FeedSource> &source = document.source();
    if (!source)
        return true;
    if (column == EpisodeColumn::Title)
        return true;
    const Episode &episode = document.episode(number);
    return source->hasColumn(episode.source, column);
}
} // namespace SourceFeedText
