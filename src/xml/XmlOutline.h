#pragma once

#include <QByteArrayView>
#include <QList>
#include <optional>
#include <vector>

// Where the elements of the first few levels of a well-formed UTF-8 text
// stand, byte for byte, so that a value can be replaced in place and
// everything around it stays as the file had it.
//
// The text must have passed the strict parser first: this only finds tags,
// skipping comments, processing instructions, CDATA sections and the
// document type declaration. An internal subset that declares entities is
// not outlined (an entity may hold markup, which would move the tags).
class XmlOutline {
public:
    // Offsets in 32 bits: a feed has an element in every hundred bytes or
    // so, and these are most of what a load keeps beside the text. A text
    // of 2 GB or more is not outlined.
    // Only what cannot be found again cheaply: the end of the name is
    // found by reading it (see nameEnd()).
    struct Element {
        qint32 begin = 0;        // the '<' of the start tag
        qint32 contentBegin = 0; // after the start tag's '>'
        qint32 contentEnd = 0;   // the end tag's '<'; contentBegin for <a/>
        qint32 end = 0;          // after the element's last '>'
        qint32 firstChild = -1;
        qint32 nextSibling = -1;
        // An end tag is never empty: only <a/> ends where its content begins.
        bool isSelfClosing() const { return end == contentBegin; }
    };
    struct Attribute {
        QByteArrayView qualifiedName;
        qsizetype valueBegin = 0; // inside the quotes
        qsizetype valueEnd = 0;
        char quote = '"';
    };

    // Elements down to `maxDepth` (the root is depth 0), in document order;
    // nullopt when the text cannot be outlined.
    // Children of elements named `leaf` are left out: ofElement() finds
    // them when they are wanted.
    static std::optional<XmlOutline> of(QByteArrayView text, int maxDepth,
                                        QByteArrayView leaf = {});
    // The element that stands at begin..end of `text` (element 0) and its
    // children, with places in the whole text.
    static std::optional<XmlOutline> ofElement(QByteArrayView text, qsizetype begin, qsizetype end);

    const std::vector<Element> &elements() const { return m_elements; }
    const Element &at(qint32 index) const { return m_elements[size_t(index)]; }
    QByteArrayView name(qint32 index) const;
    // After the element's qualified name.
    qsizetype nameEnd(qint32 index) const;
    // The first child named `name`, or -1.
    qint32 child(qint32 parent, QByteArrayView name) const;
    // The attributes of an element's start tag, in the order written.
    QList<Attribute> attributes(qint32 index) const;
    // True when the element holds anything but white space.
    bool hasContent(qint32 index) const;

private:
    bool scan(qsizetype from, qsizetype to, int maxDepth, QByteArrayView leaf);

    QByteArrayView m_text;
    std::vector<Element> m_elements;
};
