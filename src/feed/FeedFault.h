#pragma once

#include <QByteArrayView>
#include <QString>

class PodcastDocument;

// When the feed text is not well-formed: which value broke it and how to
// write it instead, for the detail of "XML is not valid.".
namespace FeedFault {
// The first value, in the order the feed is written, that is not XML where
// it stands, as `Episode 3, Title: "&" must be written as "&amp;".`; empty
// when no single value is at fault.
QString locate(const PodcastDocument &document);
// Why one value is not XML as element text (or as an attribute value in
// double quotes); empty when it is.
QString problem(const QString &value, bool attribute);
// The same for a value held as UTF-8, read without making a QString of it
// unless it holds a byte that may be at fault.
QString problem(QByteArrayView utf8, bool attribute);
// Whether the save writes the value into an attribute.
bool isAttributeField(int index);
bool isAttributeColumn(int column);
} // namespace FeedFault
