#pragma once

#include "WellKnownNamespaces.h"

#include <QByteArray>
#include <QString>

// The kept content of the podcast or of an episode as the user edits it in
// "More Tags": plain XML text, checked before it goes back into the document.
namespace MoreTagsText {
// The text shown for a block: one top-level node a line, as it is held.
QString fromBlock(const QByteArray &block);

struct Result {
    // Empty when the text can be kept; otherwise why not, without position.
    QString error;
    int line = 0;   // 1-based, in the text
    int column = 0; // 1-based
    // The block to keep: one top-level node a line.
    QByteArray block;
    // Well-known prefixes the text uses that the document does not declare
    // yet, in the order of their first use.
    WellKnownNamespaces::Namespaces added;

    bool isValid() const { return error.isEmpty(); }
};

// The text must be a well-formed fragment of elements, comments and
// processing instructions, with the well-known prefixes and the document's
// own declared around it. Text outside every element is refused: there is
// nowhere in a channel or an item it could stand.
Result check(const QString &text, const WellKnownNamespaces::Namespaces &documentNamespaces);
} // namespace MoreTagsText
