#include "XmlNode.h"

#include "XmlDocument.h"

QString XmlNode::name() const {
    return isNull() ? QString() : m_document->nodeName(m_index);
}

QString XmlNode::text() const {
    return isNull() ? QString() : m_document->nodeText(m_index);
}

QList<XmlAttribute> XmlNode::attributes() const {
    return isNull() ? QList<XmlAttribute>() : m_document->nodeAttributes(m_index);
}

qsizetype XmlNode::attributeCount() const {
    return isNull() ? 0 : m_document->nodeAttributeCount(m_index);
}

XmlNode XmlNode::selectSingleNode(QStringView path) const {
    return isNull() ? XmlNode() : m_document->selectFirst(m_index, path);
}

QList<XmlNode> XmlNode::selectNodes(QStringView path) const {
    return isNull() ? QList<XmlNode>() : m_document->select(m_index, path, false);
}
