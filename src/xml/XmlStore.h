#pragma once

// How XmlDocument keeps what it parsed: shared by the parser, the nodes that
// read the store, and the copy of text the store would write back as it is.

#include "ByteSearch.h"
#include "XmlDocument.h"
#include "XmlNode.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringView>
#include <array>
#include <cstring>
#include <functional>
#include <unordered_map>
#include <vector>

namespace XmlStore {
enum NodeFlag : quint8 {
    OwnText = 1,  // non-blank character data directly inside
    HasCdata = 2, // a CDATA section somewhere inside
    // The element is written back under its stored name (no prefix of it
    // renamed), so that name is the written one without reading the tag.
    NamedAsWritten = 4,
};

// Nodes in document order; the descendants of node i are i+1 .. end-1, so
// children are found by hopping from one subtree's end to the next. The
// ranges index the document's buffer.
struct Node {
    qsizetype outerBegin;
    qsizetype innerBegin;
    qsizetype innerEnd;
    qsizetype outerEnd;
    qint32 end;
    qint32 name; // -1 for comments and processing instructions
    qint32 attributeBegin;
    qint32 attributeEnd;
    XmlNode::Kind kind;
    quint8 flags;
};

struct Attribute {
    qint32 qualifiedName;
    qint32 localName;
    qsizetype xmlBegin; // ` name="value"`
    qsizetype valueBegin;
    qsizetype valueEnd;
    qsizetype xmlEnd;
};

struct ViewHash {
    using is_transparent = void;
    size_t operator()(QByteArrayView view) const noexcept { return qHash(view); }
};
struct ViewEqual {
    using is_transparent = void;
    bool operator()(QByteArrayView a, QByteArrayView b) const noexcept { return a == b; }
};

// Each element and attribute name is stored once (UTF-8); nodes hold its number.
class NameTable {
public:
    qint32 intern(QByteArrayView name) {
        const auto it = m_index.find(name);
        if (it != m_index.end())
            return it->second;
        const auto id = static_cast<qint32>(m_names.size());
        m_names.push_back(name.toByteArray());
        m_index.emplace(m_names.back(), id);
        return id;
    }
    qint32 find(QByteArrayView name) const {
        const auto it = m_index.find(name);
        return it == m_index.end() ? -1 : it->second;
    }
    const QByteArray &name(qint32 id) const { return m_names[size_t(id)]; }
    // Shared, so asking for a name a thousand times converts it once.
    const QString &text(qint32 id) const {
        if (m_textsMade)
            return m_texts[size_t(id)];
        if (m_texts.size() < m_names.size())
            m_texts.resize(m_names.size());
        QString &text = m_texts[size_t(id)];
        if (text.isNull())
            text = QString::fromUtf8(m_names[size_t(id)]);
        return text;
    }
    // The names of a feed's items recur in every item: the last few are
    // found again without hashing.
    qint32 internRecent(QByteArrayView name) {
        const auto size = size_t(name.size());
        if (size == 0)
            return intern(name);
        Recent &slot = m_recent[(size * 31 + uchar(name.back()) + 3 * uchar(name[size / 2])) %
                                m_recent.size()];
        if (slot.id >= 0 && size_t(slot.name.size()) == size &&
            ByteSearch::sameBytes(slot.name.data(), name.data(), size))
            return slot.id;
        slot.id = intern(name);
        slot.name = m_names[size_t(slot.id)];
        return slot.id;
    }
    // Converts every name: a loaded document is then read from several
    // threads without writing anything.
    void makeTexts() {
        m_texts.resize(m_names.size());
        for (size_t id = 0; id < m_names.size(); ++id) {
            if (m_texts[id].isNull())
                m_texts[id] = QString::fromUtf8(m_names[id]);
        }
        m_textsMade = true;
    }
    void clear() {
        m_textsMade = false;
        m_index.clear();
        m_names.clear();
        m_texts.clear();
        m_recent = {};
    }

private:
    struct Recent {
        QByteArrayView name; // into m_names, whose bytes stay where they are
        qint32 id = -1;
    };
    std::array<Recent, 32> m_recent{};
    std::vector<QByteArray> m_names;
    mutable std::vector<QString> m_texts;
    bool m_textsMade = false;
    std::unordered_map<QByteArray, qint32, ViewHash, ViewEqual> m_index;
};

// The retained paths as a tree of steps; entry 0 stands for the document.
struct Step {
    QByteArray name;
    bool target = false;
    bool streamed = false;
    std::vector<qint32> children;
};
} // namespace XmlStore

struct XmlDocument::Data {
    using Node = XmlStore::Node;
    using Attribute = XmlStore::Attribute;
    using NameTable = XmlStore::NameTable;
    using Step = XmlStore::Step;

    std::vector<Node> nodes;
    std::vector<Attribute> attributes;
    QByteArray buffer;
    NameTable names;
    qint32 root = -1;
    std::vector<qint32> prolog;

    bool filtered = false;
    std::vector<Step> steps{Step{}};
    Handler streamHandler;
    QByteArrayView streamedText;
    Namespaces namespaces;

    void clearContent() {
        nodes = {};
        attributes = {};
        buffer = {};
        names.clear();
        root = -1;
        prolog.clear();
        copied = {};
    }

    qint32 findChildStep(qint32 parent, QByteArrayView name) const {
        for (const qint32 child : steps[size_t(parent)].children) {
            if (steps[size_t(child)].name == name)
                return child;
        }
        return -1;
    }
    // `prefix` is null for a name without one.
    qint32 findChildStep(qint32 parent, QByteArrayView prefixName, QByteArrayView localName) const {
        for (const qint32 child : steps[size_t(parent)].children) {
            const QByteArray &name = steps[size_t(child)].name;
            if (prefixName.isNull()) {
                if (name == localName)
                    return child;
                continue;
            }
            if (name.size() == prefixName.size() + 1 + localName.size() &&
                name.startsWith(prefixName) && name[prefixName.size()] == ':' &&
                name.endsWith(localName))
                return child;
        }
        return -1;
    }

    qint32 addStepPath(QStringView path) {
        qint32 at = 0;
        for (const QStringView step : path.split(u'/')) {
            const QByteArray name = step.toUtf8();
            qint32 next = findChildStep(at, name);
            if (next < 0) {
                next = static_cast<qint32>(steps.size());
                steps.push_back(Step{name, false, false, {}});
                steps[size_t(at)].children.push_back(next);
            }
            at = next;
        }
        return at;
    }

    QByteArrayView range(qsizetype begin, qsizetype end) const {
        return QByteArrayView(buffer.constData() + begin, end - begin);
    }

    QList<XmlNode> select(const XmlDocument *document, qint32 parent, QStringView path,
                          bool firstOnly) const;

    // Stores the content of the open element `parent`, the last node
    // stored, by copying it from `text` where the parser's callbacks would
    // store the same bytes (see XmlStoreText.cpp). The element's start tag
    // ends at `tagEnd` in the text (its '>'); `name` is its name as written.
    // `prefixKept` tells whether a prefix in scope is written back as
    // itself. False, with nothing stored, where the copy would differ.
    bool storeAsWritten(QByteArrayView text, qsizetype tagEnd, QByteArrayView name, qint32 parent,
                        const std::function<bool(QByteArrayView)> &prefixKept);

    // What storeAsWritten() copied last: where it stands in the buffer and
    // in the text, and where it read a CR as a line feed (the line feed's
    // offset in the buffer, and the CRs left out up to it).
    struct Copied {
        qsizetype bufferBegin = -1;
        qsizetype bufferEnd = -1;
        qsizetype textBegin = 0;
        std::vector<std::pair<qsizetype, qsizetype>> lineEnds;
    };
    Copied copied;
    // The same bytes as `stored`, a view into the buffer, in the streamed
    // text, when they were copied from there; else a null view.
    QByteArrayView inputView(QByteArrayView stored) const;
};
