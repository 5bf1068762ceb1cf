#include "XmlNode.h"

#include "XmlEscape.h"
#include "XmlStore.h"

using namespace XmlStore;

QList<XmlNode> XmlDocument::Data::select(const XmlDocument *document, qint32 parent,
                                         QStringView path, bool firstOnly) const {
    QList<XmlNode> found;
    if (root < 0)
        return found;
    std::vector<qint32> wanted;
    for (const QStringView step : path.split(u'/')) {
        const qint32 id = names.find(step.toUtf8());
        if (id < 0)
            return found; // a name that never occurs matches nothing
        wanted.push_back(id);
    }
    const auto last = wanted.size() - 1;

    // Depth-first, children in order, so matches come in document order.
    struct Level {
        qint32 next;
        qint32 end;
    };
    std::vector<Level> levels;
    size_t base = 0; // the depth of the first level's children in the path
    if (parent < 0) {
        // The document's one child is the root element.
        if (nodes[size_t(root)].name != wanted[0])
            return found;
        if (last == 0) {
            found.append(XmlNode(document, root));
            return found;
        }
        levels.push_back({root + 1, nodes[size_t(root)].end});
        base = 1;
    } else {
        levels.push_back({parent + 1, nodes[size_t(parent)].end});
    }
    while (!levels.empty()) {
        Level &level = levels.back();
        if (level.next >= level.end) {
            levels.pop_back();
            continue;
        }
        const qint32 candidate = level.next;
        const Node &node = nodes[size_t(candidate)];
        level.next = node.end;
        const auto depth = base + levels.size() - 1;
        if (node.name != wanted[depth])
            continue;
        if (depth == last) {
            found.append(XmlNode(document, candidate));
            if (firstOnly)
                return found;
        } else {
            levels.push_back({candidate + 1, node.end});
        }
    }
    return found;
}

namespace {
// A name's number without building a QByteArray for the usual ASCII name.
template<typename Table> qint32 findName(const Table &names, QStringView name) {
    char ascii[64];
    if (name.size() <= qsizetype(sizeof ascii)) {
        qsizetype n = 0;
        for (; n < name.size() && name[n].unicode() < 0x80; ++n)
            ascii[n] = char(name[n].unicode());
        if (n == name.size())
            return names.find(QByteArrayView(ascii, n));
    }
    return names.find(name.toUtf8());
}
} // namespace

// XmlNode reads through its document's store.

XmlNode::Kind XmlNode::kind() const {
    return isNull() ? Kind::Element : m_document->d->nodes[size_t(m_index)].kind;
}

QString XmlNode::name() const {
    if (isNull())
        return {};
    const qint32 name = m_document->d->nodes[size_t(m_index)].name;
    return name < 0 ? QString() : m_document->d->names.text(name);
}

QByteArray XmlNode::outputName() const {
    return outputNameView().toByteArray();
}

QByteArrayView XmlNode::outputNameView() const {
    if (isNull() || kind() != Kind::Element)
        return {};
    const auto &d = *m_document->d;
    const Node &node = d.nodes[size_t(m_index)];
    if (node.flags & NamedAsWritten)
        return d.names.name(node.name);
    const QByteArrayView start = d.range(node.outerBegin + 1, node.innerBegin);
    qsizetype length = 0;
    while (length < start.size() && start[length] != ' ' && start[length] != '>' &&
           start[length] != '/')
        ++length;
    return start.first(length);
}

QByteArrayView XmlNode::outerXmlView() const {
    if (isNull())
        return {};
    const auto &d = *m_document->d;
    const Node &node = d.nodes[size_t(m_index)];
    return d.range(node.outerBegin, node.outerEnd);
}

QByteArrayView XmlNode::attributeXml(qsizetype i) const {
    if (isNull() || i < 0 || i >= attributeCount())
        return {};
    const auto &d = *m_document->d;
    const Attribute &a = d.attributes[size_t(d.nodes[size_t(m_index)].attributeBegin + i)];
    return d.range(a.xmlBegin, a.xmlEnd);
}

QString XmlNode::text() const {
    if (isNull())
        return {};
    const auto &d = *m_document->d;
    const Node &node = d.nodes[size_t(m_index)];
    // Trimmed twice: the bytes first, so plain text is converted once; then
    // the characters, for white space that came from references.
    return XmlEscape::trimmed(
        XmlEscape::characterData(XmlEscape::trimmed(d.range(node.innerBegin, node.innerEnd))));
}

QString XmlNode::heldText() const {
    if (isNull())
        return {};
    const auto &d = *m_document->d;
    const Node &node = d.nodes[size_t(m_index)];
    QByteArrayView inner = XmlEscape::trimmed(d.range(node.innerBegin, node.innerEnd));
    if (!(node.flags & HasCdata))
        return QString::fromUtf8(inner);
    const QByteArray text = XmlEscape::cdataAsText(inner);
    return QString::fromUtf8(XmlEscape::trimmed(QByteArrayView(text)));
}

QByteArrayView XmlNode::heldTextView(QByteArray *made) const {
    if (isNull())
        return {};
    const auto &d = *m_document->d;
    const Node &node = d.nodes[size_t(m_index)];
    const QByteArrayView inner = XmlEscape::trimmed(d.range(node.innerBegin, node.innerEnd));
    if (!(node.flags & HasCdata))
        return inner;
    *made = XmlEscape::cdataAsText(inner);
    return XmlEscape::trimmed(QByteArrayView(*made));
}

QByteArrayView XmlNode::attributeHeldView(qsizetype i) const {
    if (isNull() || i < 0 || i >= attributeCount())
        return {};
    const auto &d = *m_document->d;
    const Attribute &a = d.attributes[size_t(d.nodes[size_t(m_index)].attributeBegin + i)];
    return d.range(a.valueBegin, a.valueEnd);
}

bool XmlNode::hasOwnText() const {
    return !isNull() && (m_document->d->nodes[size_t(m_index)].flags & OwnText);
}

QByteArray XmlNode::outerXml() const {
    return outerXmlView().toByteArray();
}

QByteArray XmlNode::innerXml() const {
    if (isNull())
        return {};
    const auto &d = *m_document->d;
    const Node &node = d.nodes[size_t(m_index)];
    return d.range(node.innerBegin, node.innerEnd).toByteArray();
}

qsizetype XmlNode::attributeCount() const {
    if (isNull())
        return 0;
    const Node &node = m_document->d->nodes[size_t(m_index)];
    return node.attributeEnd - node.attributeBegin;
}

QList<XmlAttribute> XmlNode::attributes(AttributeParts parts) const {
    QList<XmlAttribute> result;
    if (isNull())
        return result;
    const auto &d = *m_document->d;
    const Node &node = d.nodes[size_t(m_index)];
    result.reserve(node.attributeEnd - node.attributeBegin);
    for (auto i = node.attributeBegin; i < node.attributeEnd; ++i) {
        const Attribute &a = d.attributes[size_t(i)];
        const QByteArrayView held = d.range(a.valueBegin, a.valueEnd);
        if (parts == AttributeParts::NamesAndHeldText) {
            result.append({d.names.text(a.localName), QString(), d.names.text(a.qualifiedName),
                           QString::fromUtf8(held), QByteArray()});
            continue;
        }
        result.append({d.names.text(a.localName), XmlEscape::characterData(held),
                       d.names.text(a.qualifiedName), QString::fromUtf8(held),
                       d.range(a.xmlBegin, a.xmlEnd).toByteArray()});
    }
    return result;
}

qsizetype XmlNode::childNodes(XmlNode *into, qsizetype room) const {
    if (isNull())
        return 0;
    const auto &nodes = m_document->d->nodes;
    const qint32 end = nodes[size_t(m_index)].end;
    qsizetype count = 0;
    for (qint32 child = m_index + 1; child < end; child = nodes[size_t(child)].end) {
        if (count < room)
            into[count] = XmlNode(m_document, child);
        ++count;
    }
    return count;
}

QList<XmlNode> XmlNode::childNodes() const {
    QList<XmlNode> children;
    if (isNull())
        return children;
    const auto &nodes = m_document->d->nodes;
    const qint32 end = nodes[size_t(m_index)].end;
    // Counted first: the loader asks this of every item.
    qsizetype count = 0;
    for (qint32 child = m_index + 1; child < end; child = nodes[size_t(child)].end)
        ++count;
    children.reserve(count);
    for (qint32 child = m_index + 1; child < end; child = nodes[size_t(child)].end)
        children.append(XmlNode(m_document, child));
    return children;
}

XmlNode XmlNode::selectSingleNode(QStringView path) const {
    if (isNull())
        return {};
    const auto &d = *m_document->d;
    // One step below an element is what the loader asks a dozen times per
    // item: a plain walk over the children, with nothing allocated.
    if (!path.contains(u'/')) {
        const qint32 id = findName(d.names, path);
        if (id < 0)
            return {};
        const qint32 end = d.nodes[size_t(m_index)].end;
        for (qint32 child = m_index + 1; child < end; child = d.nodes[size_t(child)].end) {
            if (d.nodes[size_t(child)].name == id)
                return XmlNode(m_document, child);
        }
        return {};
    }
    const QList<XmlNode> found = d.select(m_document, m_index, path, true);
    return found.isEmpty() ? XmlNode() : found.first();
}

QList<XmlNode> XmlNode::selectNodes(QStringView path) const {
    return isNull() ? QList<XmlNode>() : m_document->d->select(m_document, m_index, path, false);
}

QByteArrayView XmlNode::inputView(QByteArrayView stored) const {
    return isNull() ? QByteArrayView() : m_document->d->inputView(stored);
}

bool XmlNode::hasInputText() const {
    if (isNull())
        return false;
    const auto &d = *m_document->d;
    return d.copied.bufferBegin >= 0 && d.nodes[size_t(m_index)].innerBegin == d.copied.bufferBegin;
}

QByteArrayView XmlNode::attributeLocalNameView(qsizetype i) const {
    if (isNull() || i < 0 || i >= attributeCount())
        return {};
    const auto &d = *m_document->d;
    return d.names.name(
        d.attributes[size_t(d.nodes[size_t(m_index)].attributeBegin + i)].localName);
}

QByteArrayView XmlNode::attributeQualifiedNameView(qsizetype i) const {
    if (isNull() || i < 0 || i >= attributeCount())
        return {};
    const auto &d = *m_document->d;
    return d.names.name(
        d.attributes[size_t(d.nodes[size_t(m_index)].attributeBegin + i)].qualifiedName);
}

bool XmlNode::hasChildNodes() const {
    return !isNull() && m_document->d->nodes[size_t(m_index)].end > m_index + 1;
}
