#pragma once

#include "XmlAttribute.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

class XmlDocument;

// A handle to one stored node; valid while its document lives (for a
// streamed element, while its handler runs). A null node stands for "none
// found".
class XmlNode {
public:
    enum class Kind { Element, Comment, ProcessingInstruction };

    XmlNode() = default;

    bool isNull() const { return m_document == nullptr; }
    explicit operator bool() const { return !isNull(); }
    Kind kind() const;

    // The qualified name as written in the file ("itunes:image"); empty for
    // comments and processing instructions.
    QString name() const;
    // All character data of the element and its descendants (CDATA included,
    // references replaced) with leading and trailing XML white space removed.
    QString text() const;
    // The content as it is written back, trimmed: text with & < > escaped,
    // CDATA sections as escaped text, child elements and comments as markup.
    QString heldText() const;
    // heldText() as UTF-8: a view into the document, or into `made` when
    // the text had to be made (CDATA written as text). Valid as long as both.
    QByteArrayView heldTextView(QByteArray *made) const;
    // True when the element holds character data of its own (not only
    // white space and not only inside child elements).
    bool hasOwnText() const;
    // What attributes() fills in: everything, or only the names and the
    // held text, which spares two copies of each value on the loader's path.
    enum class AttributeParts { All, NamesAndHeldText };
    QList<XmlAttribute> attributes(AttributeParts parts = AttributeParts::All) const;
    qsizetype attributeCount() const;

    // The node as it is written back, UTF-8: prefixes mapped, CDATA kept.
    QByteArray outerXml() const;
    // The content between the start and end tags, as outerXml() writes it.
    QByteArray innerXml() const;
    // The element's name as it is written back.
    QByteArray outputName() const;
    // Views into the document: valid while it lives (for a streamed element,
    // while its handler runs). They spare a copy on the loader's hot path.
    QByteArrayView outerXmlView() const;
    QByteArrayView outputNameView() const;
    // The held text of attribute i (see XmlAttribute::heldText), UTF-8.
    QByteArrayView attributeHeldView(qsizetype i) const;
    // ` name="value"` of attribute i, as written back.
    QByteArrayView attributeXml(qsizetype i) const;
    // Attribute i's local and qualified names as in the input, UTF-8.
    QByteArrayView attributeLocalNameView(qsizetype i) const;
    QByteArrayView attributeQualifiedNameView(qsizetype i) const;
    // Whether the node has child elements, comments or processing instructions.
    bool hasChildNodes() const;
    // The same bytes as `stored` (a view this node gave) in the input text
    // of a streamed element, where the store copied them from it (see
    // XmlDocument::setStreamedText); else a null view.
    QByteArrayView inputView(QByteArrayView stored) const;
    // Whether this streamed element's content was copied from its input text.
    bool hasInputText() const;

    // Elements, comments and processing instructions directly inside, in order.
    QList<XmlNode> childNodes() const;
    // The same into `into`, as many as `room` holds; answers how many there
    // are. Nothing is allocated: the loader asks this of every item.
    qsizetype childNodes(XmlNode *into, qsizetype room) const;
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
