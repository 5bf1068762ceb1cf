#pragma once

#include <QByteArray>
#include <QString>

// One attribute as the document gives it.
struct XmlAttribute {
    QString baseName;      // local name, no prefix
    QString text;          // value with references replaced
    QString qualifiedName; // as written in the input
    // The value as it is written back: & < " and tab, line feed and carriage
    // return escaped, everything else as itself.
    QString heldText;
    // ` name="value"` as it is written back, with its output prefix.
    QByteArray xml;
};
