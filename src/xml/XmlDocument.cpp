#include "XmlDocument.h"

#include "EntityExpansionBudget.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {
// Elements in document order; the descendants of node i are i+1 .. end-1,
// so children are found by hopping from one subtree's end to the next.
struct Node {
    qint32 end;
    qint32 name;
    qint32 segmentBegin; // character data of the subtree, in document order
    qint32 segmentEnd;
    qint32 attributeBegin;
    qint32 attributeEnd;
};

struct Attribute {
    qint32 name;
    QString value;
};

struct ViewHash {
    using is_transparent = void;
    size_t operator()(QStringView view) const noexcept { return qHash(view); }
};
struct ViewEqual {
    using is_transparent = void;
    bool operator()(QStringView a, QStringView b) const noexcept { return a == b; }
};

// Each element and attribute name is stored once; nodes hold its number.
class NameTable {
public:
    qint32 intern(QStringView name) {
        const auto it = m_index.find(name);
        if (it != m_index.end())
            return it->second;
        const auto id = static_cast<qint32>(m_names.size());
        m_names.push_back(name.toString());
        m_index.emplace(m_names.back(), id);
        return id;
    }
    qint32 find(QStringView name) const {
        const auto it = m_index.find(name);
        return it == m_index.end() ? -1 : it->second;
    }
    const QString &name(qint32 id) const { return m_names[size_t(id)]; }
    void clear() {
        m_index.clear();
        m_names.clear();
    }

private:
    std::vector<QString> m_names;
    std::unordered_map<QString, qint32, ViewHash, ViewEqual> m_index;
};

// The retained paths as a tree of steps; entry 0 stands for the document.
struct Step {
    QString name;
    qint32 nameId = -1;
    bool target = false;
    std::vector<qint32> children;
};

bool isXmlSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

QStringView trimmedView(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isXmlSpace(text[begin]))
        ++begin;
    while (end > begin && isXmlSpace(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

// Trims without a copy when nothing needs trimming, in place otherwise.
void trimInPlace(QString &text) {
    const QStringView trimmed = trimmedView(text);
    if (trimmed.size() == text.size())
        return;
    const qsizetype begin = trimmed.data() - text.constData();
    text.truncate(begin + trimmed.size());
    text.remove(0, begin);
}

QString positioned(const QXmlStreamReader &reader) {
    return QStringLiteral("%1 (line %2, column %3)")
        .arg(reader.errorString())
        .arg(reader.lineNumber())
        .arg(reader.columnNumber());
}

QString overBudget(const EntityExpansionBudget &budget, const QXmlStreamReader &reader) {
    return QStringLiteral("Entities expand to more than %1 characters (line %2, column %3)")
        .arg(budget.limit())
        .arg(reader.lineNumber())
        .arg(reader.columnNumber());
}

// Hands the file to the reader while pricing what its entities would expand
// to; once over budget it reports end of input, which the reader takes as a
// broken document.
class PricedDevice : public QIODevice {
public:
    PricedDevice(QIODevice &source, EntityExpansionBudget &budget)
        : m_source(source)
        , m_budget(budget) {}

    bool isSequential() const override { return true; }
    bool overBudget() const { return m_overBudget; }
    bool readFailed() const { return m_readFailed; }
    void stopKeepingChunks() {
        m_keepChunks = false;
        m_lastChunk.clear();
    }
    // The declarations are known only once the reader has passed them, and
    // the chunk holding their end may already hold references.
    void priceLastChunk() {
        m_budget.resetScan();
        if (!m_budget.charge(m_lastChunk))
            m_overBudget = true;
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override {
        if (m_overBudget)
            return 0;
        const qint64 n = m_source.read(data, maxSize);
        if (n < 0) {
            m_readFailed = true;
            return 0;
        }
        if (m_keepChunks)
            m_lastChunk = QByteArray(data, n);
        if (n > 0 && m_budget.hasPricedEntities() &&
            !m_budget.charge(QByteArray::fromRawData(data, n))) {
            m_overBudget = true;
            return 0;
        }
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QIODevice &m_source;
    EntityExpansionBudget &m_budget;
    QByteArray m_lastChunk;
    bool m_keepChunks = true;
    bool m_overBudget = false;
    bool m_readFailed = false;
};

// The smallest budget, so small documents with a few long entities still load.
constexpr qint64 MinimumExpansionBudget = qint64(4) << 20;
} // namespace

struct XmlDocument::Data {
    std::vector<Node> nodes;
    std::vector<QString> segments;
    std::vector<Attribute> attributes;
    NameTable names;
    bool filtered = false;
    std::vector<Step> steps{Step{}};

    void clearContent() {
        nodes = {};
        segments = {};
        attributes = {};
        names.clear();
        for (Step &step : steps)
            step.nameId = step.name.isEmpty() ? -1 : names.intern(step.name);
    }

    qint32 findChildStep(qint32 parent, QStringView name) const {
        for (const qint32 child : steps[size_t(parent)].children) {
            if (steps[size_t(child)].name == name)
                return child;
        }
        return -1;
    }

    bool parse(QIODevice &source, QString &error);
};

XmlDocument::XmlDocument()
    : d(std::make_unique<Data>()) {}

XmlDocument::~XmlDocument() = default;

void XmlDocument::setRetainedPaths(const QStringList &paths) {
    d->filtered = true;
    d->steps = {Step{}};
    for (const QString &path : paths) {
        qint32 at = 0;
        for (const QStringView name : QStringView(path).split(u'/')) {
            qint32 next = d->findChildStep(at, name);
            if (next < 0) {
                next = static_cast<qint32>(d->steps.size());
                d->steps.push_back(Step{name.toString(), -1, false, {}});
                d->steps[size_t(at)].children.push_back(next);
            }
            at = next;
        }
        d->steps[size_t(at)].target = true;
    }
}

bool XmlDocument::load(const QString &path) {
    const QFileInfo info(path);
    if (info.isDir()) {
        d->clearContent();
        m_errorString = QStringLiteral("%1 is a folder, not a file").arg(path);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        d->clearContent();
        m_errorString = file.errorString();
        return false;
    }
    return load(&file);
}

bool XmlDocument::load(QIODevice *device) {
    d->clearContent();
    m_errorString.clear();
    if (!device || !device->isReadable()) {
        m_errorString = device ? device->errorString() : QStringLiteral("No input");
        if (m_errorString.isEmpty())
            m_errorString = QStringLiteral("The input cannot be read");
        return false;
    }
    if (!d->parse(*device, m_errorString)) {
        d->clearContent();
        return false;
    }
    return true;
}

bool XmlDocument::Data::parse(QIODevice &source, QString &error) {
    const qint64 size = source.isSequential() ? 0 : source.size();
    EntityExpansionBudget budget(qMax(MinimumExpansionBudget, size));
    PricedDevice device(source, budget);
    device.open(QIODevice::ReadOnly | QIODevice::Unbuffered);

    QXmlStreamReader reader(&device);
    reader.setNamespaceProcessing(true);

    struct Open {
        qint32 node;
        qint32 step;
        bool target;
    };
    std::vector<Open> open;
    qint64 skipped = 0; // depth inside an element that is not stored
    int openTargets = 0;

    for (;;) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            if (skipped > 0) {
                ++skipped;
                break;
            }
            if (open.empty())
                device.stopKeepingChunks();
            qint32 step = -1;
            qint32 name = -1;
            bool target = true;
            if (filtered) {
                step = findChildStep(open.empty() ? 0 : open.back().step, reader.qualifiedName());
                if (step < 0) {
                    skipped = 1;
                    break;
                }
                name = steps[size_t(step)].nameId;
                target = steps[size_t(step)].target;
            } else {
                name = names.intern(reader.qualifiedName());
            }
            const auto attributeBegin = static_cast<qint32>(attributes.size());
            if (target) {
                for (const QXmlStreamAttribute &attribute : reader.attributes())
                    attributes.push_back(
                        {names.intern(attribute.name()), attribute.value().toString()});
                ++openTargets;
            }
            open.push_back({static_cast<qint32>(nodes.size()), step, target});
            const auto segmentBegin = static_cast<qint32>(segments.size());
            nodes.push_back({-1, name, segmentBegin, segmentBegin, attributeBegin,
                             static_cast<qint32>(attributes.size())});
            break;
        }
        case QXmlStreamReader::EndElement: {
            if (skipped > 0) {
                --skipped;
                break;
            }
            const Open closing = open.back();
            open.pop_back();
            Node &node = nodes[size_t(closing.node)];
            node.end = static_cast<qint32>(nodes.size());
            node.segmentEnd = static_cast<qint32>(segments.size());
            if (closing.target)
                --openTargets;
            // A lone piece of text no enclosing element shares is the
            // element's text: trim it once here instead of on every read.
            if (openTargets == 0 && node.segmentEnd - node.segmentBegin == 1)
                trimInPlace(segments[size_t(node.segmentBegin)]);
            break;
        }
        case QXmlStreamReader::Characters:
            if (openTargets > 0)
                segments.push_back(reader.text().toString());
            break;
        case QXmlStreamReader::DTD:
            budget.setDeclarations(reader.entityDeclarations());
            if (budget.hasPricedEntities())
                device.priceLastChunk();
            break;
        case QXmlStreamReader::EndDocument:
            return true;
        case QXmlStreamReader::Invalid:
            if (device.overBudget())
                error = overBudget(budget, reader);
            else if (device.readFailed())
                error = source.errorString();
            else
                error = positioned(reader);
            return false;
        default:
            break;
        }
        if (device.overBudget()) {
            error = overBudget(budget, reader);
            return false;
        }
    }
}

QString XmlDocument::checkWellFormed(const QByteArray &data) {
    QByteArray copy = data; // shared, not copied
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    XmlDocument document;
    document.setRetainedPaths({});
    if (document.load(&buffer))
        return {};
    return document.errorString();
}

XmlNode XmlDocument::documentElement() const {
    return d->nodes.empty() ? XmlNode() : XmlNode(this, 0);
}

XmlNode XmlDocument::selectSingleNode(QStringView path) const {
    return selectFirst(-1, path);
}

QList<XmlNode> XmlDocument::selectNodes(QStringView path) const {
    return select(-1, path, false);
}

XmlNode XmlDocument::selectFirst(qint32 parent, QStringView path) const {
    // One step below an element is what the loader asks a dozen times per
    // item: a plain walk over the children, with nothing allocated.
    if (parent >= 0 && !path.contains(u'/')) {
        const qint32 id = findName(path);
        if (id < 0)
            return {};
        const qint32 end = d->nodes[size_t(parent)].end;
        for (qint32 child = parent + 1; child < end; child = d->nodes[size_t(child)].end) {
            if (d->nodes[size_t(child)].name == id)
                return XmlNode(this, child);
        }
        return {};
    }
    const QList<XmlNode> found = select(parent, path, true);
    return found.isEmpty() ? XmlNode() : found.first();
}

qint32 XmlDocument::findName(QStringView name) const {
    return d->names.find(name);
}

QList<XmlNode> XmlDocument::select(qint32 parent, QStringView path, bool firstOnly) const {
    QList<XmlNode> found;
    if (d->nodes.empty())
        return found;
    std::vector<qint32> names;
    for (const QStringView step : path.split(u'/')) {
        const qint32 id = findName(step);
        if (id < 0)
            return found; // a name that never occurs matches nothing
        names.push_back(id);
    }
    const auto last = names.size() - 1;

    // Depth-first, children in order, so matches come in document order.
    // Each level keeps its cursor: the next child to look at, and the end.
    struct Level {
        qint32 next;
        qint32 end;
    };
    std::vector<Level> levels;
    if (parent < 0)
        levels.push_back({0, 1}); // the document's one child: the root
    else
        levels.push_back({parent + 1, d->nodes[size_t(parent)].end});
    while (!levels.empty()) {
        Level &level = levels.back();
        if (level.next >= level.end) {
            levels.pop_back();
            continue;
        }
        const qint32 candidate = level.next;
        const Node &node = d->nodes[size_t(candidate)];
        level.next = node.end;
        const auto depth = levels.size() - 1;
        if (node.name != names[depth])
            continue;
        if (depth == last) {
            found.append(XmlNode(this, candidate));
            if (firstOnly)
                return found;
        } else {
            levels.push_back({candidate + 1, node.end});
        }
    }
    return found;
}

QString XmlDocument::nodeName(qint32 index) const {
    return d->names.name(d->nodes[size_t(index)].name);
}

QString XmlDocument::nodeText(qint32 index) const {
    const Node &node = d->nodes[size_t(index)];
    const auto count = node.segmentEnd - node.segmentBegin;
    if (count == 0)
        return {};
    const QString &first = d->segments[size_t(node.segmentBegin)];
    if (count == 1) {
        const QStringView trimmed = trimmedView(first);
        return trimmed.size() == first.size() ? first : trimmed.toString();
    }
    qsizetype length = 0;
    for (auto i = node.segmentBegin; i < node.segmentEnd; ++i)
        length += d->segments[size_t(i)].size();
    QString text;
    text.reserve(length);
    for (auto i = node.segmentBegin; i < node.segmentEnd; ++i)
        text += d->segments[size_t(i)];
    trimInPlace(text);
    return text;
}

qsizetype XmlDocument::nodeAttributeCount(qint32 index) const {
    const Node &node = d->nodes[size_t(index)];
    return node.attributeEnd - node.attributeBegin;
}

QList<XmlAttribute> XmlDocument::nodeAttributes(qint32 index) const {
    const Node &node = d->nodes[size_t(index)];
    QList<XmlAttribute> result;
    result.reserve(node.attributeEnd - node.attributeBegin);
    for (auto i = node.attributeBegin; i < node.attributeEnd; ++i) {
        const Attribute &attribute = d->attributes[size_t(i)];
        result.append({d->names.name(attribute.name), attribute.value});
    }
    return result;
}
