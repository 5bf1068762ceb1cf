#pragma once

#include "KeptContentReader.h"
#include "xml/PrefixIndex.h"

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class PodcastDocument;

// The top-level elements of every episode's kept content, for the feed
// check. Parsing each item's block on its own took most of a check of a
// large feed (a parser per item, through kilobytes of show notes no rule
// reads); here the blocks are only split once, and the elements of one
// local name, from all episodes together, are parsed in one go when a rule
// first asks for that name.
class EpisodeKeptElements {
public:
    // The document must outlive this and stay unchanged meanwhile.
    explicit EpisodeKeptElements(const PodcastDocument &document);
    ~EpisodeKeptElements();

    // Top-level elements of the episode at `index` (from 0) with this
    // namespace name (empty: none) and local name, in document order.
    QList<XmlNode> elements(qsizetype index, const QString &namespaceName,
                            const QString &localName) const;
    // Whether the episode at `index` keeps two or more top-level elements of
    // this local name, whatever their prefix: found without parsing anything,
    // so a rule can skip the episodes where elements() cannot find a repeat.
    bool keepsTwice(qsizetype index, QByteArrayView localName) const;
    // The value of the first attribute named `attribute` (by its local name)
    // of each element elements() finds, in order, skipping those without
    // one: read from the kept text itself, which spares parsing every
    // episode's block. nullopt when some such element is not written
    // plainly (a prefix the document does not bind, a declaration, a value
    // with references or line ends): elements() answers then.
    std::optional<QStringList> attributeValues(qsizetype index, const QString &namespaceName,
                                               QByteArrayView localName,
                                               QByteArrayView attribute) const;

private:
    struct Candidate {
        qint32 episode;
        QByteArrayView local;
        QByteArrayView xml;
        QByteArrayView name;       // qualified, as written
        QByteArrayView attributes; // the start tag after the name
    };
    struct Read {
        std::unique_ptr<KeptContentReader> reader;
        std::vector<qint32> wrapperOf; // by episode; -1 when it has none
        QList<XmlNode> wrappers;
        bool combined = false;
    };
    const Read &read(const QString &localName) const;

    const PodcastDocument &m_document;
    PrefixIndex m_prefixes;
    std::vector<Candidate> m_candidates; // in episode order
    // Where each episode's candidates begin; one more for the end.
    std::vector<qint32> m_firstCandidate;
    // The rules of one check ask from two threads.
    mutable std::mutex m_lock;
    mutable QHash<QString, std::shared_ptr<Read>> m_reads;
    mutable QHash<qsizetype, std::shared_ptr<KeptContentReader>> m_alone;
    // The namespace of each prefix as a block is read (see
    // KeptContentReader); a null string for one the document binds twice.
    QHash<QByteArray, QString> m_bound;
};
