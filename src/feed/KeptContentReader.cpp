#include "KeptContentReader.h"

#include "WellKnownNamespaces.h"

#include <QBuffer>

namespace {
QString escapedAttribute(const QString &value) {
    return value.toHtmlEscaped();
}
} // namespace

KeptContentReader::KeptContentReader(const QByteArray &block,
                                     const PodcastDocument::Namespaces &namespaces) {
    m_empty = block.trimmed().isEmpty();
    m_declared = WellKnownNamespaces::declaredWith(namespaces);
    if (m_empty)
        return;

    QByteArray wrapped("<kept");
    for (const auto &[prefix, name] : m_declared) {
        if (prefix.isEmpty())
            continue;
        wrapped += " xmlns:" + prefix.toUtf8() + "=\"" + escapedAttribute(name).toUtf8() + '"';
    }
    wrapped += '>' + block + "</kept>";
    QBuffer buffer(&wrapped);
    buffer.open(QIODevice::ReadOnly);
    m_readable = m_document.load(&buffer);
}

QStringList KeptContentReader::qualifiedNames(const QString &namespaceName,
                                              const QString &localName) const {
    if (namespaceName.isEmpty())
        return {localName};
    const std::lock_guard lock(m_namesLock);
    for (const Names &known : std::as_const(m_names)) {
        if (known.localName == localName && known.namespaceName == namespaceName)
            return known.qualified;
    }
    QStringList names;
    for (const auto &[prefix, name] : m_declared) {
        if (name == namespaceName && !prefix.isEmpty())
            names.append(prefix + u':' + localName);
    }
    names.removeDuplicates();
    m_names.append({namespaceName, localName, names});
    return names;
}

QList<XmlNode> KeptContentReader::elements(const QString &namespaceName,
                                           const QString &localName) const {
    if (!m_readable)
        return {};
    return children(m_document.documentElement(), namespaceName, localName);
}

XmlNode KeptContentReader::first(const QString &namespaceName, const QString &localName) const {
    const QList<XmlNode> found = elements(namespaceName, localName);
    return found.isEmpty() ? XmlNode() : found.first();
}

QList<XmlNode> KeptContentReader::children(const XmlNode &parent, const QString &namespaceName,
                                           const QString &localName) const {
    QList<XmlNode> found;
    if (parent.isNull())
        return found;
    for (const QString &name : qualifiedNames(namespaceName, localName))
        found += parent.selectNodes(name);
    return found;
}

QString KeptContentReader::attribute(const XmlNode &node, const QString &name) {
    for (const XmlAttribute &attribute : node.attributes()) {
        if (attribute.baseName == name)
            return attribute.text;
    }
    return {};
}

bool KeptContentReader::hasAttribute(const XmlNode &node, const QString &name) {
    const QList<XmlAttribute> attributes = node.attributes();
    return std::any_of(attributes.begin(), attributes.end(),
                       [&](const XmlAttribute &attribute) { return attribute.baseName == name; });
}
