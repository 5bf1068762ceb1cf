#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The blocks of kept content (see PodcastDocument::channelExtra): what they
// hold, and which of their elements only add to an element the editor writes.
namespace KeptContent {
// How the editor writes an element it reads, which decides what a piece
// that adds to it may hold.
enum class Written {
    None,
    Text,           // the value is the element's text
    FirstAttribute, // the value is an attribute: itunes:category text, itunes:image href
    Enclosure,      // url, type and length
    Owner,          // itunes:owner, holding itunes:name and itunes:email
};
Written channelElement(QByteArrayView name);
Written itemElement(QByteArrayView name);

// One top-level node of a block (or of an element's content).
struct Node {
    QByteArrayView xml;
    QByteArrayView name;       // empty unless an element
    QByteArrayView attributes; // the start tag after the name: ` a="1" b="2"`
    QByteArrayView content;    // between the start and end tags
    bool ownText = false;      // character data directly inside
    bool hasAttribute(QByteArrayView qualifiedName) const;
};
// Splits well-formed XML text into its top-level nodes; white space between
// them is dropped.
QList<Node> split(QByteArrayView block);

// True when `node` only adds attributes or children to the element of its
// name that the editor writes: it holds none of what the editor writes there.
bool addsToWritten(const Node &node, Written written);
// The name of the attribute the editor writes for a FirstAttribute element.
QByteArrayView writtenAttribute(QByteArrayView name);

// Joins nodes into a block: one node a line.
void append(QByteArray &block, QByteArrayView node);

// A new GUID for an episode ("urn:uuid:..."), and the item block that says
// it is no address (isPermaLink="false"), as RSS asks of such a GUID. A block
// that already adds to the guid is left as it is.
QString newGuid();
QByteArray withGuidNotPermaLink(QByteArrayView itemBlock);
} // namespace KeptContent
