#include "EpisodeKeptElements.h"

#include "KeptContent.h"
#include "WellKnownNamespaces.h"
#include "model/PodcastDocument.h"

#include <QSet>

namespace {
QByteArrayView localPart(QByteArrayView qualified) {
    const qsizetype colon = qualified.indexOf(':');
    return colon < 0 ? qualified : qualified.sliced(colon + 1);
}
} // namespace

EpisodeKeptElements::EpisodeKeptElements(const PodcastDocument &document)
    : m_document(document)
    , m_prefixes(document.namespaces()) {
    const QList<Episode> &episodes = document.episodes();
    m_firstCandidate.reserve(size_t(episodes.size()) + 1);
    for (qsizetype i = 0; i < episodes.size(); ++i) {
        m_firstCandidate.push_back(qint32(m_candidates.size()));
        // The pieces stand where the document keeps them, which outlives this.
        for (const QByteArrayView piece : episodes[i].extraPieces()) {
            for (const KeptContent::Node &node : KeptContent::split(piece)) {
                if (!node.name.isEmpty())
                    m_candidates.push_back(
                        {qint32(i), localPart(node.name), node.xml, node.name, node.attributes});
            }
        }
    }
    m_firstCandidate.push_back(qint32(m_candidates.size()));
    for (const auto &[prefix, name] : WellKnownNamespaces::all())
        m_bound.insert(prefix.toUtf8(), name);
    QSet<QByteArray> own;
    for (const auto &[prefix, name] : document.namespaces()) {
        const QByteArray key = prefix.toUtf8();
        m_bound.insert(key, own.contains(key) ? QString() : name);
        own.insert(key);
    }
}

std::optional<QStringList> EpisodeKeptElements::attributeValues(qsizetype index,
                                                                const QString &namespaceName,
                                                                QByteArrayView localName,
                                                                QByteArrayView attribute) const {
    QStringList values;
    const qint32 end = m_firstCandidate[size_t(index) + 1];
    for (qint32 i = m_firstCandidate[size_t(index)]; i < end; ++i) {
        const Candidate &candidate = m_candidates[size_t(i)];
        if (candidate.local != localName)
            continue;
        // Which elements a reader finds: by the prefix as written.
        const qsizetype colon = candidate.name.indexOf(':');
        if (colon < 0) {
            if (!namespaceName.isEmpty())
                continue;
        } else {
            const auto bound = m_bound.constFind(candidate.name.first(colon).toByteArray());
            if (bound == m_bound.cend() || bound->isNull())
                return std::nullopt;
            if (*bound != namespaceName)
                continue;
        }
        // ` name="value"` pairs; a value as the parser reads it when it has
        // no reference and no white space it would turn into a space.
        std::optional<QString> value;
        const QByteArrayView a = candidate.attributes;
        const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
        qsizetype at = 0;
        while (at < a.size()) {
            while (at < a.size() && isSpace(a[at]))
                ++at;
            if (at >= a.size() || a[at] == '/' || a[at] == '>')
                break;
            const qsizetype nameBegin = at;
            while (at < a.size() && a[at] != '=' && !isSpace(a[at]))
                ++at;
            const QByteArrayView name = a.sliced(nameBegin, at - nameBegin);
            while (at < a.size() && a[at] != '"' && a[at] != '\'')
                ++at;
            if (at >= a.size())
                return std::nullopt;
            const qsizetype close = a.indexOf(a[at], at + 1);
            if (close < 0)
                return std::nullopt;
            const QByteArrayView text = a.sliced(at + 1, close - at - 1);
            at = close + 1;
            if (name == "xmlns" || name.startsWith("xmlns:"))
                return std::nullopt;
            // An attribute's prefix must be bound too, or no reader reads the element.
            if (const qsizetype colon = name.indexOf(':');
                colon >= 0 && name.first(colon) != "xml") {
                const auto bound = m_bound.constFind(name.first(colon).toByteArray());
                if (bound == m_bound.cend() || bound->isNull())
                    return std::nullopt;
            }
            if (value || localPart(name) != attribute)
                continue;
            for (const char c : text) {
                if (c == '&' || c == '<' || (c != ' ' && isSpace(c)))
                    return std::nullopt;
            }
            value = QString::fromUtf8(text);
        }
        if (value)
            values.append(*value);
    }
    return values;
}

bool EpisodeKeptElements::keepsTwice(qsizetype index, QByteArrayView localName) const {
    const qint32 end = m_firstCandidate[size_t(index) + 1];
    bool once = false;
    for (qint32 i = m_firstCandidate[size_t(index)]; i < end; ++i) {
        if (m_candidates[size_t(i)].local != localName)
            continue;
        if (once)
            return true;
        once = true;
    }
    return false;
}

EpisodeKeptElements::~EpisodeKeptElements() = default;

const EpisodeKeptElements::Read &EpisodeKeptElements::read(const QString &localName) const {
    const std::lock_guard lock(m_lock);
    if (const auto found = m_reads.constFind(localName); found != m_reads.cend())
        return **found;
    auto read = std::make_shared<Read>();
    read->wrapperOf.assign(size_t(m_document.episodeCount()), -1);
    const QByteArray local = localName.toUtf8();
    // One wrapper per episode around its elements of that local name, so
    // that a prefix bound to another namespace is still told apart after.
    QByteArray combined;
    qsizetype size = 0;
    for (const Candidate &candidate : m_candidates) {
        if (candidate.local == local)
            size += candidate.xml.size() + 7; // and its share of "<e></e>"
    }
    combined.reserve(size);
    qint32 wrappers = 0;
    qint32 open = -1;
    for (const Candidate &candidate : m_candidates) {
        if (candidate.local != local)
            continue;
        if (candidate.episode != open) {
            if (open >= 0)
                combined += "</e>";
            combined += "<e>";
            open = candidate.episode;
            read->wrapperOf[size_t(open)] = wrappers++;
        }
        combined += candidate.xml;
    }
    if (open >= 0)
        combined += "</e>";
    if (!combined.isEmpty()) {
        read->reader = std::make_unique<KeptContentReader>(combined, m_prefixes.usedBy(combined));
        read->combined = read->reader->isReadable();
        if (read->combined)
            read->wrappers = read->reader->elements(QString(), QStringLiteral("e"));
        read->combined = read->combined && read->wrappers.size() == wrappers;
    } else {
        read->combined = true;
    }
    return **m_reads.insert(localName, std::move(read));
}

QList<XmlNode> EpisodeKeptElements::elements(qsizetype index, const QString &namespaceName,
                                             const QString &localName) const {
    const Read &found = read(localName);
    if (found.combined) {
        const qint32 wrapper = found.wrapperOf[size_t(index)];
        if (wrapper < 0)
            return {};
        return found.reader->children(found.wrappers[wrapper], namespaceName, localName);
    }
    // Some block that holds the name could not be read with the others:
    // each episode's block is read alone, as a whole, as before.
    if (found.wrapperOf[size_t(index)] < 0)
        return {};
    std::shared_ptr<KeptContentReader> alone;
    {
        const std::lock_guard lock(m_lock);
        std::shared_ptr<KeptContentReader> &kept = m_alone[index];
        if (!kept) {
            const QByteArray block = m_document.episodes()[index].extra();
            kept = std::make_shared<KeptContentReader>(block, m_prefixes.usedBy(block));
        }
        alone = kept;
    }
    return alone->elements(namespaceName, localName);
}
