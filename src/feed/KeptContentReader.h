#pragma once

#include "WellKnownNamespaces.h"
#include "model/PodcastDocument.h"
#include "xml/XmlDocument.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <mutex>

// Reads one block of kept content (see PodcastDocument::channelExtra) so the
// feed check can look at the elements the editor has no box for. Elements are
// found by namespace name, so a file that wrote Apple's elements under another
// prefix is read all the same.
class KeptContentReader {
public:
    KeptContentReader(const QByteArray &block, const PodcastDocument::Namespaces &namespaces);

    static inline const QString &Itunes = WellKnownNamespaces::Itunes;
    static inline const QString &PodcastIndex = WellKnownNamespaces::PodcastIndex;
    static inline const QString &Atom = WellKnownNamespaces::Atom;

    // False when the block is not well-formed; it then holds no elements.
    bool isReadable() const { return m_readable; }
    bool isEmpty() const { return m_empty; }
    // Top-level elements with this namespace name (empty: none) and local name.
    QList<XmlNode> elements(const QString &namespaceName, const QString &localName) const;
    XmlNode first(const QString &namespaceName, const QString &localName) const;
    // Child elements of a found element, by namespace name and local name.
    QList<XmlNode> children(const XmlNode &parent, const QString &namespaceName,
                            const QString &localName) const;

    static QString attribute(const XmlNode &node, const QString &name);
    static bool hasAttribute(const XmlNode &node, const QString &name);

private:
    QStringList qualifiedNames(const QString &namespaceName, const QString &localName) const;

    XmlDocument m_document;
    PodcastDocument::Namespaces m_declared;
    // The rules ask for a handful of names, each once per episode.
    struct Names {
        QString namespaceName;
        QString localName;
        QStringList qualified;
    };
    mutable QList<Names> m_names;
    mutable std::mutex m_namesLock; // rules of one check read from two threads
    bool m_readable = false;
    bool m_empty = true;
};
