#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The forms text takes in what the XML layer writes back (UTF-8).
namespace XmlEscape {
// Element text: & < > as references, everything else as itself.
void appendText(QByteArray &out, QByteArrayView text);
// Attribute values in double quotes: & < " as references, and tab, line feed
// and carriage return as character references so they survive reading.
void appendAttribute(QByteArray &out, QByteArrayView text);
// Only XML white space (space, tab, line feed, carriage return).
bool isBlank(QByteArrayView text);
QByteArrayView trimmed(QByteArrayView text);
// Trims XML white space only: a no-break space is text.
QString trimmed(const QString &text);
// The character data of serialised content: references replaced, CDATA
// sections unwrapped, tags, comments and processing instructions left out.
QString characterData(QByteArrayView xml);
// The content with each CDATA section turned into escaped text.
QByteArray cdataAsText(QByteArrayView xml);
} // namespace XmlEscape
