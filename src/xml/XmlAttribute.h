#pragma once

#include <QString>

// One attribute as the document gives it: the local name (no prefix) and the
// value with references replaced.
struct XmlAttribute {
    QString baseName;
    QString text;
};
