#pragma once

#include "XmlAttribute.h"

#include <QList>
#include <QString>
#include <QStringView>

class XmlDocument;

// A handle to one stored element; valid while its document lives. A null
// node stands for "none found".
class XmlNode {
public:
    XmlNode() = default;

    bool isNull() const { return m_document == nullptr; }
    explicit operator bool() const { return !isNull(); }

    // The qualified name as written in the file ("itunes:image").
    QString name() const;
    // All character data of the element and its descendants (CDATA included,
    // references replaced) with leading and trailing XML white space removed.
    QString text() const;
    QList<XmlAttribute> attributes() const;
    qsizetype attributeCount() const;

    // Paths are relative to this element: "title", "itunes:owner/itunes:name".
    XmlNode selectSingleNode(QStringView path) const;
    QList<XmlNode> selectNodes(QStringView path) const;

    bool operator==(const XmlNode &other) const = default;

private:
    friend class XmlDocument;
    XmlNode(const XmlDocument *document, qint32 index)
        : m_document(document)
        , m_index(index) {}

    const XmlDocument *m_document = nullptr;
    qint32 m_index = -1;
};
