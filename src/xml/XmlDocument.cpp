#include "XmlDocument.h"

#include "LargePages.h"
#include "PrefixIndex.h"
#include "XmlEscape.h"
#include "XmlInputGuard.h"
#include "XmlStore.h"

#include "WorkProgress.h"
#include <QBuffer>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <libxml/HTMLparser.h>
#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/valid.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <unordered_map>
#include <vector>

#include <iconv.h>
#include <sys/stat.h>

using namespace XmlStore;

namespace {
constexpr char ItunesNamespace[] = "http://www.itunes.com/dtds/podcast-1.0.dtd";

QByteArrayView view(const xmlChar *text) {
    return text ? QByteArrayView(reinterpret_cast<const char *>(text)) : QByteArrayView();
}

QByteArray qualified(const xmlChar *prefix, const xmlChar *local) {
    if (!prefix)
        return view(local).toByteArray();
    QByteArray name = view(prefix).toByteArray();
    name += ':';
    name += view(local);
    return name;
}

// libxml2 reads through this; entities are never fetched from anywhere.
xmlParserInputPtr refuseExternalEntity(const char *, const char *, xmlParserCtxtPtr) {
    return nullptr;
}
void ignoreGenericError(void *, const char *, ...) {}

void initialiseLibxml2() {
    static const bool done = [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(refuseExternalEntity);
        xmlSetGenericErrorFunc(nullptr, ignoreGenericError);
        return true;
    }();
    Q_UNUSED(done);
}

constexpr int ParseOptions =
    XML_PARSE_NONET | XML_PARSE_NOENT | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

QString withCodePoints(QString message) {
    // An invisible character is named by its code, not shown.
    static const QRegularExpression value(QStringLiteral("(?:value |Char 0x)([0-9A-Fa-f]+)"));
    const QRegularExpressionMatch match = value.match(message);
    if (match.hasMatch()) {
        bool ok = false;
        const bool hex = match.captured(0).startsWith(u'C');
        const uint code = match.captured(1).toUInt(&ok, hex ? 16 : 10);
        if (ok)
            message += QStringLiteral(" (U+%1)").arg(
                QStringLiteral("%1").arg(code, 4, 16, QLatin1Char('0')).toUpper());
    }
    return message;
}

// Where the first byte that the encoding cannot decode stands, counted in
// characters of the decoded text; libxml2 decodes ahead of its parsing and
// would name a later place, or only the end of what it could decode.
bool locateUndecodable(const QByteArray &bytes, const QByteArray &encoding, int *line, int *column,
                       QByteArray *offending) {
    iconv_t cd = iconv_open("UTF-8", encoding.constData());
    if (cd == iconv_t(-1))
        return false;
    const QByteArray upper = encoding.toUpper();
    const qsizetype unit =
        upper.contains("32") || upper.startsWith("UCS-4") || upper.startsWith("UCS4") ? 4
        : upper.contains("16") || upper.startsWith("UCS-2")                           ? 2
                                                                                      : 1;
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    // libxml2 does not count a byte-order mark as a column.
    for (const QByteArray &bom :
         {QByteArray("\xEF\xBB\xBF"), QByteArray("\xFF\xFE"), QByteArray("\xFE\xFF")}) {
        if (unit > 1 && bom.size() == 3)
            continue;
        if (bytes.startsWith(bom) && (unit == 2 || bom.size() == 3)) {
            in += bom.size();
            inLeft -= size_t(bom.size());
            break;
        }
    }
    int l = 1;
    int c = 1;
    bool found = false;
    while (inLeft > 0) {
        char out[4096];
        char *outPtr = out;
        size_t outLeft = sizeof out;
        const size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        for (const char *p = out; p < outPtr; ++p) {
            if (*p == '\n') {
                ++l;
                c = 1;
            } else if ((uchar(*p) & 0xC0) != 0x80) {
                ++c;
            }
        }
        if (result == size_t(-1) && errno != E2BIG) {
            // EINVAL: the input ends inside a character
            found = true;
            *offending = QByteArray(in, qMin(qsizetype(inLeft), unit));
            break;
        }
    }
    iconv_close(cd);
    if (found) {
        *line = l;
        *column = c;
    }
    return found;
}

QString byteList(const QByteArray &bytes) {
    QStringList parts;
    for (const char byte : bytes)
        parts.append(QStringLiteral("0x") +
                     QString::number(uchar(byte), 16).rightJustified(2, u'0').toUpper());
    return parts.join(u' ');
}
} // namespace

// One run of libxml2 over one input, filling Data.
class XmlDocument::Parser {
public:
    Parser(const XmlDocument *document, Data &data, bool store)
        : m_document(document)
        , m_data(data)
        , m_store(store) {}

    bool run(QIODevice &device, const QByteArray &name, QString &error);

private:
    struct Open {
        qint32 node;
        qint32 step; // -1 off the retained and streamed paths
        bool retained;
        QByteArray defaultNamespace; // as written back
    };

    static Parser &of(void *context) {
        return *static_cast<Parser *>(static_cast<xmlParserCtxtPtr>(context)->_private);
    }
    // The next `length` bytes at most, in `buffer` or where `data` says.
    static int read(void *context, char *buffer, int length, const char **data);
    int push(const char *data, int size, bool terminate);
    bool inLongCdata() const;
    void raiseDefaultNamespace();
    // A column as the input has it, without the section breaks push() added.
    int sourceColumn(int line, int column) const;
    static void startElement(void *context, const xmlChar *localName, const xmlChar *prefix,
                             const xmlChar *uri, int namespaceCount, const xmlChar **namespaces,
                             int attributeCount, int defaultedCount, const xmlChar **attributes);
    static void endElement(void *context, const xmlChar *, const xmlChar *, const xmlChar *);
    static void characters(void *context, const xmlChar *text, int length);
    static void cdata(void *context, const xmlChar *text, int length);
    static void comment(void *context, const xmlChar *text);
    static void processingInstruction(void *context, const xmlChar *target, const xmlChar *data);
    static xmlEntityPtr getEntity(void *context, const xmlChar *name);
    static void attributeDecl(void *context, const xmlChar *element, const xmlChar *name, int type,
                              int def, const xmlChar *defaultValue, xmlEnumerationPtr tree);
    static void structuredError(void *context, xmlErrorPtr error);

    // Runs a callback's body; a failure stops the parser and is its error.
    template<typename F> void guarded(F &&body) {
        if (m_stopped)
            return;
        try {
            body();
        } catch (const std::bad_alloc &) {
            fail(QStringLiteral("Out of memory"));
        } catch (const std::exception &failure) {
            fail(QString::fromLocal8Bit(failure.what()));
        } catch (...) {
            fail(QStringLiteral("Unknown failure"));
        }
    }
    void fail(const QString &reason, bool positioned = true);
    // Inside the read callback the parser must not be halted: libxml2 goes
    // on using the input it is growing. Failing the read stops it.
    void failRead(const QString &reason) {
        if (m_stopped)
            return;
        m_stopped = true;
        m_error = reason;
    }
    // libxml2 limits each entity but not how often one is used: a few KB
    // referenced a million times would expand to gigabytes.
    // Elements count as well: an entity of ten thousand empty elements used a
    // hundred thousand times holds no text at all. DTD default attributes are
    // copied onto every element they apply to.
    enum class Growth { Entities, DefaultAttributes };
    void charge(qsizetype characters, Growth growth = Growth::Entities) {
        m_expanded += characters;
        if (m_expanded > ExpansionAllowance + ExpansionFactor * m_bytesRead && !m_stopped)
            fail(
                (growth == Growth::Entities
                     ? QStringLiteral("Entities expand to more than %1 times the size of the input")
                     : QStringLiteral("DTD default attributes make the document more than %1 "
                                      "times the size of the input"))
                    .arg(ExpansionFactor));
    }
    static constexpr qint64 ExpansionAllowance = qint64(4) << 20;
    static constexpr qint64 ExpansionFactor = 4;
    static constexpr qsizetype ElementWeight = 16;
    qint64 m_expanded = 0;
    qint64 m_bytesRead = 0;

    bool retaining() const { return !m_open.empty() && m_open.back().retained; }
    QByteArray outputPrefix(const xmlChar *prefix, const xmlChar *uri);
    void appendLeaf(XmlNode::Kind kind, const QByteArray &xml);
    // A comment or processing instruction: `open` text [blank data] `close`.
    void keepLeaf(XmlNode::Kind kind, QByteArrayView open, QByteArrayView text, QByteArrayView data,
                  QByteArrayView close);
    void markCdata();
    // Stores the content of streamed element `index` by copying the input's
    // text, when the caller knows where it stands and the store would write
    // it back as it is; the callbacks then only check it.
    void storeFromText(qint32 index, QByteArrayView name);
    // Whether `prefix`, as bound where the parser stands, is written back as itself.
    bool prefixKept(QByteArrayView prefix);

    qint32 nameId(const xmlChar *prefix, const xmlChar *local) {
        // libxml2 interns names, so the pointers identify a name.
        const auto key = std::make_pair(prefix, local);
        const auto it = m_nameIds.find(key);
        if (it != m_nameIds.end())
            return it->second;
        const qint32 id = m_data.names.intern(qualified(prefix, local));
        m_nameIds.emplace(key, id);
        return id;
    }

    const XmlDocument *m_document;
    Data &m_data;
    bool m_store;
    struct PairHash {
        size_t operator()(const std::pair<const xmlChar *, const xmlChar *> &key) const {
            return std::hash<const void *>()(key.first) * 31 +
                   std::hash<const void *>()(key.second);
        }
    };
    std::unordered_map<std::pair<const xmlChar *, const xmlChar *>, qint32, PairHash> m_nameIds;
    QIODevice *m_device = nullptr;
    const QByteArray *m_memory = nullptr; // the device's bytes, for a buffer
    qsizetype m_memoryAt = 0;
    xmlParserCtxtPtr m_context = nullptr;
    XmlInputGuard m_guard;
    std::vector<Open> m_open;
    qint64 m_skipped = 0; // depth inside an element that is not stored
    bool m_stopped = false;
    bool m_readFailed = false;
    qsizetype m_cdataEnd = -1; // where the last CDATA section written ends
    bool m_cdataCr = false;    // that section's last piece ended in a CR
    QString m_error;
    std::unordered_map<QByteArray, int> m_declaredAttributes; // per element name
    QByteArray m_encoding; // the decoder libxml2 chose, when not UTF-8
    int m_errorCode = 0;
    int m_errorLine = 0;
    int m_errorColumn = 0;
    std::unordered_map<const xmlChar *, std::unordered_map<const xmlChar *, QByteArray>> m_prefixes;
    bool m_bindingsIndexed = false;
    QSet<std::pair<QString, QString>> m_bound;
    QSet<QString> m_taken;
    QHash<QString, int> m_nextSuffix;
    qsizetype m_namespaceWeight = 0;
    std::vector<int> m_scopeCounts; // declarations on each open element
    // The declarations in scope, as libxml2 hands them over: prefix, URI.
    std::vector<std::pair<const xmlChar *, const xmlChar *>> m_declared;
    std::unordered_map<QByteArray, bool, ViewHash, ViewEqual> m_keptPrefixes; // for m_declared
    bool m_fromText = false; // inside a streamed element stored from the text
    qint64 m_inserted = 0;   // bytes push() put into the input
    qsizetype m_inScope = 0;
    // Where push() ended and began a CDATA section again: line and column.
    std::vector<std::pair<int, int>> m_cdataBreaks;
    // How much of a CDATA section libxml2 may hold before it is broken up.
    static constexpr qsizetype CdataBacklog = qsizetype(256) << 10;
};

int XmlDocument::Parser::read(void *context, char *buffer, int length, const char **data) {
    Parser &parser = *static_cast<Parser *>(context);
    if (parser.m_stopped)
        return -1;
    qint64 n = 0;
    *data = buffer;
    if (parser.m_memory) {
        // Handed on where it stands: no copy of a file read into memory.
        n = std::min<qint64>(length, parser.m_memory->size() - parser.m_memoryAt);
        *data = parser.m_memory->constData() + parser.m_memoryAt;
        parser.m_memoryAt += n;
    } else {
        n = parser.m_device->read(buffer, length);
    }
    if (n < 0) {
        parser.m_readFailed = true;
        QString reason = parser.m_device->errorString();
        if (reason.isEmpty())
            reason = QStringLiteral("The input cannot be read");
        parser.failRead(reason);
        return -1;
    }
    parser.m_bytesRead += n;
    // A cancelled load stops at the next chunk, as a failed read does.
    if (WorkProgress *progress = WorkProgress::current()) {
        if (progress->isCancelled()) {
            parser.failRead(WorkProgress::cancelledReason());
            return -1;
        }
        progress->setTotal(std::max(parser.m_device->size(), parser.m_bytesRead));
        progress->setDone(parser.m_bytesRead);
    }
    if (!parser.m_guard.scan(QByteArrayView(*data, n))) {
        parser.failRead(parser.m_guard.reason());
        return -1;
    }
    return int(n);
}

void XmlDocument::Parser::fail(const QString &reason, bool positioned) {
    if (m_stopped)
        return;
    m_stopped = true;
    m_error = reason;
    if (positioned && m_context) {
        const int line = xmlSAX2GetLineNumber(m_context);
        m_error += QStringLiteral(" (line %1, column %2)")
                       .arg(line)
                       .arg(sourceColumn(line, xmlSAX2GetColumnNumber(m_context)));
    }
    if (m_context)
        xmlStopParser(m_context);
}

void XmlDocument::Parser::structuredError(void *context, xmlErrorPtr error) {
    // libxml2 reports an unusable encoding while the context is being made,
    // before it knows this parser: that error is read from the context after.
    if (!error || error->level < XML_ERR_ERROR || !context ||
        !static_cast<xmlParserCtxtPtr>(context)->_private)
        return;
    Parser &parser = of(context);
    if (parser.m_stopped)
        return;
    QString message = QString::fromUtf8(error->message ? error->message : "Not well-formed")
                          .trimmed()
                          .replace(u'\n', u' ');
    parser.m_errorCode = error->code;
    parser.m_errorLine = error->line;
    parser.m_errorColumn = parser.sourceColumn(error->line, error->int2);
    parser.m_stopped = true;
    parser.m_error = QStringLiteral("%1 (line %2, column %3)")
                         .arg(withCodePoints(message))
                         .arg(error->line)
                         .arg(parser.m_errorColumn);
}

QByteArray XmlDocument::Parser::outputPrefix(const xmlChar *prefix, const xmlChar *uri) {
    // libxml2 interns names, so the pointers identify a binding.
    auto &byUri = m_prefixes[prefix];
    const auto cached = byUri.find(uri);
    if (cached != byUri.end())
        return cached->second;

    const QString wanted = QString::fromUtf8(view(prefix));
    const QString namespaceName = QString::fromUtf8(view(uri));
    QString chosen;
    if (wanted == u"xml" || wanted == u"itunes") {
        chosen = wanted;
    } else {
        Namespaces &bindings = m_data.namespaces;
        if (!m_bindingsIndexed) {
            // Hashed once, so that a feed of thousands of prefixes, or of one
            // prefix bound anew in every item, costs the same per binding.
            m_bindingsIndexed = true;
            m_namespaceWeight = namespaceWeight(bindings);
            for (const auto &binding : std::as_const(bindings)) {
                m_bound.insert(binding);
                m_taken.insert(binding.first);
            }
        }
        if (m_bound.contains({wanted, namespaceName})) {
            chosen = wanted;
        } else {
            const auto taken = [&](const QString &candidate) {
                return candidate == u"itunes" || candidate == u"xml" || candidate == u"xmlns" ||
                       m_taken.contains(candidate);
            };
            chosen = wanted;
            if (taken(chosen)) {
                // Numbers tried before for this prefix stay taken: go on from there.
                int &next = m_nextSuffix[wanted];
                next = std::max(next, 2);
                while (taken(chosen))
                    chosen = wanted + QString::number(next++);
            }
            const std::pair<QString, QString> binding{chosen, namespaceName};
            m_namespaceWeight += 1 + chosen.count(u'=') + namespaceName.count(u'=');
            if (m_namespaceWeight > MaxNamespaceWeight)
                fail(QStringLiteral("Too many namespace prefixes: declared on one element they "
                                    "would make more than %1 attributes")
                         .arg(MaxNamespaceWeight));
            bindings.append(binding);
            m_bound.insert(binding);
            m_taken.insert(chosen);
        }
    }
    QByteArray result = chosen.toUtf8();
    byUri.emplace(uri, result);
    return result;
}

void XmlDocument::Parser::startElement(void *context, const xmlChar *localName,
                                       const xmlChar *prefix, const xmlChar *uri,
                                       int namespaceCount, const xmlChar **namespaces,
                                       int attributeCount, int defaultedCount,
                                       const xmlChar **attributes) {
    Parser &p = of(context);
    // Declarations nested ten thousand deep around many elements took
    // seconds per megabyte (see MaxNamespacesInScope).
    p.m_scopeCounts.push_back(namespaceCount);
    p.m_inScope += namespaceCount;
    if (namespaceCount > 0) {
        for (int i = 0; i < namespaceCount; ++i)
            p.m_declared.emplace_back(namespaces[2 * i], namespaces[2 * i + 1]);
        p.m_keptPrefixes.clear();
    }
    if (p.m_inScope > MaxNamespacesInScope)
        p.fail(QStringLiteral("More than %1 namespace declarations in scope")
                   .arg(MaxNamespacesInScope));
    if (p.m_scopeCounts.size() == 1 && !p.m_stopped)
        p.raiseDefaultNamespace();
    // An element costs more to store than its tag: weighed so that one made
    // by an entity a million times cannot take more memory than text could.
    p.charge(qsizetype(std::strlen(reinterpret_cast<const char *>(localName))) + ElementWeight);
    for (int i = 0; i < attributeCount; ++i)
        p.charge(attributes[5 * i + 4] - attributes[5 * i + 3] + 4,
                 i < attributeCount - defaultedCount ? Growth::Entities
                                                     : Growth::DefaultAttributes);
    p.guarded([&] {
        Data &d = p.m_data;
        // libxml2's push parser does not apply its own depth limit.
        if (qint64(p.m_open.size()) + p.m_skipped >= qint64(xmlParserMaxDepth)) {
            p.fail(QStringLiteral("Excessive depth in document: more than %1 levels")
                       .arg(xmlParserMaxDepth));
            return;
        }
        if (p.m_skipped > 0 || p.m_fromText) {
            ++p.m_skipped;
            return;
        }
        const bool parentRetained = p.retaining();
        if (!parentRetained && !p.m_store) {
            p.m_skipped = 1;
            return;
        }
        const qint32 parentStep = p.m_open.empty() ? 0 : p.m_open.back().step;
        const qint32 step =
            parentStep >= 0 ? d.findChildStep(parentStep, view(prefix), view(localName)) : -1;
        bool retained = parentRetained;
        if (!parentRetained) {
            if (d.filtered) {
                if (step < 0) {
                    p.m_skipped = 1;
                    return;
                }
                retained = d.steps[size_t(step)].target;
            } else {
                retained = true;
            }
        }

        const qint32 index = static_cast<qint32>(d.nodes.size());
        if (p.m_open.empty())
            d.root = index;
        const qint32 name = p.nameId(prefix, localName);
        Node node{
            d.buffer.size(),        0, 0, 0, -1, name, static_cast<qint32>(d.attributes.size()), 0,
            XmlNode::Kind::Element, 0};
        QByteArray defaultNamespace;
        bool declaresDefault = false;
        if (retained) {
            QByteArray &out = d.buffer;
            out += '<';
            if (prefix) {
                out += p.outputPrefix(prefix, uri);
                out += ':';
            }
            out += view(localName);
            const QByteArray parentDefault =
                parentRetained ? p.m_open.back().defaultNamespace : QByteArray();
            defaultNamespace = parentDefault;
            if (!prefix && view(uri) != parentDefault) {
                // Declared where it changes, so the element means the same
                // wherever it is written back.
                defaultNamespace = view(uri).toByteArray();
                declaresDefault = true;
                out += " xmlns=\"";
                XmlEscape::appendAttribute(out, defaultNamespace);
                out += '"';
            }
            // Defaulted attributes come from the DTD, not the element.
            const int given = attributeCount - defaultedCount;
            for (int i = 0; i < given; ++i) {
                const xmlChar **a = attributes + 5 * i;
                Attribute attribute{};
                attribute.qualifiedName = p.nameId(a[1], a[0]);
                attribute.localName = p.nameId(nullptr, a[0]);
                attribute.xmlBegin = out.size();
                out += ' ';
                if (a[1]) {
                    out += p.outputPrefix(a[1], a[2]);
                    out += ':';
                }
                out += view(a[0]);
                out += "=\"";
                attribute.valueBegin = out.size();
                XmlEscape::appendAttribute(
                    out, QByteArrayView(reinterpret_cast<const char *>(a[3]), a[4] - a[3]));
                attribute.valueEnd = out.size();
                out += '"';
                attribute.xmlEnd = out.size();
                d.attributes.push_back(attribute);
            }
            out += '>';
        }
        node.attributeEnd = static_cast<qint32>(d.attributes.size());
        node.innerBegin = d.buffer.size();
        d.nodes.push_back(node);
        p.m_open.push_back({index, step, retained, defaultNamespace});
        if (retained && step >= 0 && d.steps[size_t(step)].streamed && namespaceCount == 0 &&
            !declaresDefault)
            p.storeFromText(index, d.steps[size_t(step)].name);
    });
}

void XmlDocument::Parser::endElement(void *context, const xmlChar *, const xmlChar *,
                                     const xmlChar *) {
    Parser &p = of(context);
    if (!p.m_scopeCounts.empty()) {
        const int declared = p.m_scopeCounts.back();
        p.m_inScope -= declared;
        p.m_scopeCounts.pop_back();
        if (declared > 0) {
            p.m_declared.resize(p.m_declared.size() - size_t(declared));
            p.m_keptPrefixes.clear();
        }
    }
    p.guarded([&] {
        Data &d = p.m_data;
        if (p.m_skipped > 0) {
            --p.m_skipped;
            return;
        }
        const Open closing = p.m_open.back();
        p.m_open.pop_back();
        if (p.m_fromText) {
            p.m_fromText = false;
            p.m_cdataEnd = -1;
        }
        Node &node = d.nodes[size_t(closing.node)];
        node.end = static_cast<qint32>(d.nodes.size());
        if (closing.retained) {
            QByteArray &out = d.buffer;
            if (out.size() == node.innerBegin) {
                out.chop(1); // the '>' of the start tag
                out += " />";
                node.innerBegin = out.size();
                node.innerEnd = out.size();
            } else {
                node.innerEnd = out.size();
                out += "</";
                const QByteArrayView start = d.range(node.outerBegin + 1, node.innerBegin);
                // The written name is the start tag's first word.
                qsizetype length = 0;
                while (length < start.size() && start[length] != ' ' && start[length] != '>')
                    ++length;
                out += start.first(length);
                out += '>';
            }
            node.outerEnd = out.size();
            if (node.flags & HasCdata && !p.m_open.empty() && p.m_open.back().retained)
                d.nodes[size_t(p.m_open.back().node)].flags |= HasCdata;
        } else {
            node.outerBegin = node.innerBegin = node.innerEnd = node.outerEnd = d.buffer.size();
        }
        if (closing.step >= 0 && d.steps[size_t(closing.step)].streamed && closing.retained &&
            d.streamHandler) {
            d.streamHandler(XmlNode(p.m_document, closing.node));
            d.copied.bufferBegin = -1;
            // Forget the element: it was the last thing stored.
            d.buffer.truncate(node.outerBegin);
            d.attributes.resize(size_t(node.attributeBegin));
            d.nodes.resize(size_t(closing.node));
        }
    });
}

void XmlDocument::Parser::characters(void *context, const xmlChar *text, int length) {
    Parser &p = of(context);
    p.charge(length);
    if (!p.retaining() || p.m_fromText)
        return;
    p.guarded([&] {
        const QByteArrayView chunk(reinterpret_cast<const char *>(text), length);
        XmlEscape::appendText(p.m_data.buffer, chunk);
        if (!(p.m_data.nodes[size_t(p.m_open.back().node)].flags & OwnText) &&
            !XmlEscape::isBlank(chunk))
            p.m_data.nodes[size_t(p.m_open.back().node)].flags |= OwnText;
    });
}

void XmlDocument::Parser::cdata(void *context, const xmlChar *text, int length) {
    Parser &p = of(context);
    p.charge(length);
    if (!p.retaining() || p.m_fromText)
        return;
    p.guarded([&] {
        QByteArrayView chunk(reinterpret_cast<const char *>(text), length);
        // XML reads every CR LF and lone CR as a line feed, inside CDATA as
        // well; libxml2's push parser hands sections over as written. A CR
        // that ended the last piece has been turned already.
        if (p.m_cdataEnd == p.m_data.buffer.size() && p.m_cdataCr && chunk.startsWith('\n'))
            chunk = chunk.sliced(1);
        p.m_cdataCr = chunk.endsWith('\r');
        QByteArray normalised;
        if (chunk.contains('\r')) {
            normalised = chunk.toByteArray();
            normalised.replace("\r\n", "\n");
            normalised.replace('\r', '\n');
            chunk = normalised;
        }
        QByteArray &out = p.m_data.buffer;
        // libxml2 hands one section over in pieces: they become one section
        // again, unless joining them would spell its end marker.
        QByteArray seam;
        if (p.m_cdataEnd == out.size() && out.size() >= 5) {
            seam = out.sliced(out.size() - 5, 2);
            seam += chunk.first(qMin<qsizetype>(2, chunk.size()));
        }
        const bool joins = !seam.isEmpty() && !seam.contains("]]>");
        if (joins)
            out.chop(3);
        else
            out += "<![CDATA[";
        out += chunk;
        out += "]]>";
        p.m_cdataEnd = out.size();
        Node &node = p.m_data.nodes[size_t(p.m_open.back().node)];
        node.flags |= HasCdata;
        if (!XmlEscape::isBlank(chunk))
            node.flags |= OwnText;
    });
}

void XmlDocument::Parser::appendLeaf(XmlNode::Kind kind, const QByteArray &xml) {
    Data &d = m_data;
    const qint32 index = static_cast<qint32>(d.nodes.size());
    const qsizetype begin = d.buffer.size();
    d.buffer += xml;
    const qsizetype end = d.buffer.size();
    const auto attributes = static_cast<qint32>(d.attributes.size());
    d.nodes.push_back({begin, begin, end, end, index + 1, -1, attributes, attributes, kind, 0});
    if (m_open.empty())
        d.prolog.push_back(index);
}

void XmlDocument::Parser::comment(void *context, const xmlChar *text) {
    of(context).keepLeaf(XmlNode::Kind::Comment, "<!--", view(text), {}, "-->");
}

void XmlDocument::Parser::processingInstruction(void *context, const xmlChar *target,
                                                const xmlChar *data) {
    of(context).keepLeaf(XmlNode::Kind::ProcessingInstruction, "<?", view(target),
                         data && *data ? view(data) : QByteArrayView(), "?>");
}

void XmlDocument::Parser::storeFromText(qint32 index, QByteArrayView name) {
    Data &d = m_data;
    const xmlParserInputPtr input = m_context->input;
    // Only where the bytes parsed are the bytes of the text, outside entities.
    if (d.streamedText.isNull() || m_stopped || m_context->inputNr != 1 || !input || !input->buf ||
        input->buf->encoder || !d.buffer.endsWith('>'))
        return;
    // libxml2 stands on the '>' of the start tag it has just read.
    const qint64 at = qint64(xmlByteConsumed(m_context)) - m_inserted;
    m_fromText = d.storeAsWritten(d.streamedText, at, name, index,
                                  [this](QByteArrayView prefix) { return prefixKept(prefix); });
}

bool XmlDocument::Parser::prefixKept(QByteArrayView prefix) {
    if (prefix == "xml")
        return true;
    const auto cached = m_keptPrefixes.find(prefix);
    if (cached != m_keptPrefixes.end())
        return cached->second;
    bool kept = false;
    for (auto it = m_declared.rbegin(); it != m_declared.rend(); ++it) {
        if (it->first && view(it->first) == prefix) {
            kept = outputPrefix(it->first, it->second) == prefix;
            break;
        }
    }
    m_keptPrefixes.emplace(prefix.toByteArray(), kept);
    return kept;
}

void XmlDocument::Parser::keepLeaf(XmlNode::Kind kind, QByteArrayView open, QByteArrayView text,
                                   QByteArrayView data, QByteArrayView close) {
    // Before the root element a comment or instruction is the document's prolog.
    const bool prolog = m_open.empty() && m_data.root < 0 && m_store;
    if (!prolog && (!retaining() || m_fromText))
        return;
    guarded([&] {
        QByteArray xml = open.toByteArray();
        xml += text;
        if (!data.isEmpty()) {
            xml += ' ';
            xml += data;
        }
        xml += close;
        appendLeaf(kind, xml);
    });
}

// Attributes declared in the DTD never pass the input guard, and libxml2
// handles many for one element slowly: its list of them is searched for each
// new one, and each default is checked against the element's attributes.
void XmlDocument::Parser::attributeDecl(void *context, const xmlChar *element, const xmlChar *name,
                                        int type, int def, const xmlChar *defaultValue,
                                        xmlEnumerationPtr tree) {
    Parser &p = of(context);
    bool refused = p.m_stopped;
    p.guarded([&] {
        if (++p.m_declaredAttributes[view(element).toByteArray()] > XmlInputGuard::MaxAttributes) {
            refused = true;
            p.fail(QStringLiteral("An element has more than %1 attributes declared")
                       .arg(XmlInputGuard::MaxAttributes));
        }
    });
    if (refused || p.m_stopped) {
        xmlFreeEnumeration(tree);
        return;
    }
    xmlSAX2AttributeDecl(context, element, name, type, def, defaultValue, tree);
}

xmlEntityPtr XmlDocument::Parser::getEntity(void *context, const xmlChar *name) {
    auto *ctxt = static_cast<xmlParserCtxtPtr>(context);
    Parser &p = of(context);
    xmlEntityPtr entity = xmlSAX2GetEntity(context, name);
    if (ctxt->inSubset != 0 || p.m_stopped)
        return entity;
    if (entity) {
        if (entity->etype == XML_EXTERNAL_GENERAL_PARSED_ENTITY ||
            entity->etype == XML_EXTERNAL_GENERAL_UNPARSED_ENTITY) {
            p.fail(QStringLiteral("The external entity '%1' is not read")
                       .arg(QString::fromUtf8(view(name))));
            return nullptr;
        }
        return entity;
    }
    // Without a DTD libxml2 refuses an undeclared reference itself. With an
    // external DTD that is never read (RSS 0.91's), it would drop it: HTML's
    // named characters, which such DTDs declare, are resolved, anything else
    // is refused.
    if (!ctxt->hasExternalSubset && !ctxt->hasPErefs)
        return nullptr;
    const htmlEntityDesc *html = htmlEntityLookup(name);
    if (!html || !ctxt->myDoc) {
        p.fail(QStringLiteral("Entity '%1' not defined").arg(QString::fromUtf8(view(name))));
        return nullptr;
    }
    if (!ctxt->myDoc->intSubset)
        xmlCreateIntSubset(ctxt->myDoc, name, nullptr, nullptr);
    const char32_t code = html->value;
    const QByteArray content = QString::fromUcs4(&code, 1).toUtf8();
    return xmlAddDocEntity(ctxt->myDoc, name, XML_INTERNAL_GENERAL_ENTITY, nullptr, nullptr,
                           reinterpret_cast<const xmlChar *>(content.constData()));
}

// libxml2's push parser passes a CDATA section on in 300-byte steps until it
// has seen the section's end, and tries only when a chunk brings a '>': the
// rest waits in its input, and past 10 MB it gives up ("Huge input lookup"),
// where text of any size goes through in bulk. So a long section is ended and
// begun again between two chunks: the same character data, handed on whole,
// and stored as one section again (see cdata()). Only in UTF-8 input, where
// the bytes pushed are the bytes parsed.
bool XmlDocument::Parser::inLongCdata() const {
    const xmlParserInputPtr input = m_context->input;
    // In the section, libxml2 has looked for "]]>" in all it holds and not
    // found it: everything after `cur` is the section's content.
    return m_context->instate == XML_PARSER_CDATA_SECTION && input && input->buf &&
           !input->buf->encoder && input->cur && input->end &&
           input->end - input->cur >= CdataBacklog;
}

int XmlDocument::Parser::push(const char *data, int size, bool terminate) {
    if (size > 0 && !m_stopped && inLongCdata()) {
        // The break goes neither after a ']' ("]]]>" would end the section
        // early) nor inside a character, and never past a '>' that might
        // end the section for real.
        char before = m_context->input->end[-1];
        int at = 0;
        while (at < size && data[at] != '>' && (before == ']' || (uchar(data[at]) & 0xC0) == 0x80))
            before = data[at++];
        if (at < size && data[at] != '>') {
            if (at > 0) {
                const int status = xmlParseChunk(m_context, data, at, 0);
                if (status != 0 || m_stopped || !inLongCdata())
                    return status != 0 ? status
                                       : xmlParseChunk(m_context, data + at, size - at, terminate);
            }
            const xmlParserInputPtr input = m_context->input;
            const auto *cur = reinterpret_cast<const char *>(input->cur);
            const auto *end = reinterpret_cast<const char *>(input->end);
            const void *newline = memrchr(cur, '\n', size_t(end - cur));
            int line = input->line;
            int column = 0;
            if (newline) {
                line += int(std::count(cur, end, '\n'));
                column = int(end - static_cast<const char *>(newline));
            } else {
                column = input->col + int(end - cur);
            }
            m_cdataBreaks.emplace_back(line, column);
            static constexpr char Break[] = "]]><![CDATA[";
            m_inserted += qsizetype(sizeof Break) - 1;
            QByteArray joined(Break, qsizetype(sizeof Break) - 1);
            joined.append(data + at, size - at);
            return xmlParseChunk(m_context, joined.constData(), int(joined.size()), terminate);
        }
    }
    return xmlParseChunk(m_context, data, size, terminate);
}

// libxml2 finds the namespace of a name without a prefix by going down its
// stack of declarations to the nearest default one, past every prefix on the
// way: past thousands declared on the root, for each element. As the root
// opens, the default in force (or none) is put on top once. It is the same
// binding; libxml2 counts it among the root's declarations, and takes it
// away when the root closes. Declarations further in stack above it as ever.
void XmlDocument::Parser::raiseDefaultNamespace() {
    static const xmlChar None[] = "";
    xmlParserCtxtPtr context = m_context;
    if (!context || context->nsNr < 32)
        return;
    const xmlChar *uri = None;
    for (int i = context->nsNr - 2; i >= 0; i -= 2) {
        if (!context->nsTab[i]) {
            uri = context->nsTab[i + 1];
            break;
        }
    }
    if (context->nsNr + 2 > context->nsMax) {
        const int most = std::max(context->nsMax * 2, context->nsNr + 2);
        auto *grown = static_cast<const xmlChar **>(
            xmlRealloc(static_cast<void *>(context->nsTab), size_t(most) * sizeof(xmlChar *)));
        if (!grown)
            return; // only slower
        context->nsTab = grown;
        context->nsMax = most;
    }
    context->nsTab[context->nsNr++] = nullptr;
    context->nsTab[context->nsNr++] = uri;
}

int XmlDocument::Parser::sourceColumn(int line, int column) const {
    constexpr int BreakLength = 12; // "]]><![CDATA["
    int shift = 0;
    for (const auto &[breakLine, breakColumn] : m_cdataBreaks) {
        if (breakLine == line && breakColumn < column)
            shift += BreakLength;
    }
    return column - shift;
}

bool XmlDocument::Parser::run(QIODevice &device, const QByteArray &name, QString &error) {
    initialiseLibxml2();
    m_device = &device;

    xmlSAXHandler sax;
    std::memset(&sax, 0, sizeof sax);
    xmlSAXVersion(&sax, 2);
    sax.startElementNs = startElement;
    sax.endElementNs = endElement;
    sax.characters = characters;
    sax.ignorableWhitespace = characters;
    sax.cdataBlock = cdata;
    sax.comment = comment;
    sax.processingInstruction = processingInstruction;
    sax.getEntity = getEntity;
    sax.attributeDecl = attributeDecl;
    sax.serror = structuredError;
    sax.error = nullptr;
    sax.warning = nullptr;
    sax.fatalError = nullptr;

    // Pushed in chunks rather than pulled: libxml2 2.9's pull parser reads
    // CDATA one character at a time, its push parser scans it in bulk, which
    // halves the time on feeds full of CDATA show notes.
    std::vector<char> chunk(size_t(64) << 10);
    // The first bytes alone, so libxml2 detects the encoding before anything else.
    if (const auto *buffer = qobject_cast<const QBuffer *>(&device)) {
        m_memory = &buffer->data();
        m_memoryAt = qsizetype(buffer->pos());
    }
    const char *data = nullptr;
    const int first = read(this, chunk.data(), 4, &data);
    if (first < 0) {
        error = m_error;
        return false;
    }
    m_context = xmlCreatePushParserCtxt(&sax, nullptr, data, first,
                                        name.isEmpty() ? nullptr : name.constData());
    if (!m_context) {
        error = QStringLiteral("Out of memory");
        return false;
    }
    m_context->_private = this;
    xmlCtxtUseOptions(m_context, ParseOptions);
    if (const xmlError &early = m_context->lastError; early.code != XML_ERR_OK) {
        m_stopped = true;
        m_errorCode = early.code;
        m_errorLine = early.line;
        m_errorColumn = early.int2;
        m_error =
            QStringLiteral("%1 (line %2, column %3)")
                .arg(QString::fromUtf8(early.message ? early.message : "Not well-formed").trimmed())
                .arg(qMax(1, early.line))
                .arg(qMax(1, early.int2));
    }
    while (!m_stopped && m_context->wellFormed) {
        // Noted while it is there: a halted parser frees its input.
        if (m_encoding.isEmpty() && m_context->input && m_context->input->buf &&
            m_context->input->buf->encoder)
            m_encoding = m_context->input->buf->encoder->name;
        const int n = read(this, chunk.data(), int(chunk.size()), &data);
        if (n < 0)
            break;
        // A byte the encoding cannot decode halts the push parser without
        // an error of its own and with the document still "well-formed".
        if (push(data, n, n == 0) != 0 && !m_stopped && m_context->wellFormed) {
            m_stopped = true;
            m_errorCode = XML_I18N_CONV_FAILED;
            m_errorLine = m_errorColumn = std::numeric_limits<int>::max();
            m_error = QStringLiteral("The input cannot be decoded");
        }
        if (n == 0)
            break;
    }
    const bool ok = !m_stopped && m_context->wellFormed;
    if (!ok) {
        error = m_error.isEmpty() ? QStringLiteral("Not well-formed XML") : m_error;
        // libxml2 decodes ahead of its parsing and reports a byte it cannot
        // decode as the end of the input, or not at all: find it ourselves
        // when the input can be read again. It is the cause when it stands
        // no later than where the parser stopped.
        const QByteArray encodingName = m_encoding;
        if (m_errorCode != 0 && !encodingName.isEmpty() && !device.isSequential() &&
            device.seek(0)) {
            const QByteArray bytes = device.readAll();
            int line = 0;
            int column = 0;
            QByteArray offending;
            if (locateUndecodable(bytes, encodingName, &line, &column, &offending) &&
                (line < m_errorLine || (line == m_errorLine && column <= m_errorColumn))) {
                error =
                    QStringLiteral("%1 %2 %3 not a character in the encoding %4 "
                                   "(line %5, column %6)")
                        .arg(offending.size() == 1 ? QStringLiteral("Byte")
                                                   : QStringLiteral("Bytes"),
                             byteList(offending),
                             offending.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"),
                             QString::fromLatin1(encodingName))
                        .arg(line)
                        .arg(column);
            }
        }
    }
    if (m_context->myDoc)
        xmlFreeDoc(m_context->myDoc);
    m_context->myDoc = nullptr;
    xmlFreeParserCtxt(m_context);
    m_context = nullptr;
    return ok;
}

XmlDocument::XmlDocument()
    : d(std::make_unique<Data>()) {}

XmlDocument::~XmlDocument() = default;

void XmlDocument::setRetainedPaths(const QStringList &paths) {
    d->filtered = true;
    for (const QString &path : paths)
        d->steps[size_t(d->addStepPath(path))].target = true;
}

void XmlDocument::setStreamedPath(const QString &path, Handler handler) {
    d->steps[size_t(d->addStepPath(path))].streamed = true;
    d->streamHandler = std::move(handler);
}

void XmlDocument::setStreamedText(QByteArrayView text) {
    d->streamedText = text;
}

void XmlDocument::setNamespaces(const Namespaces &bindings) {
    d->namespaces = bindings;
}

const XmlDocument::Namespaces &XmlDocument::namespaces() const {
    return d->namespaces;
}

qsizetype XmlDocument::namespaceWeight(const Namespaces &bindings) {
    qsizetype weight = 0;
    for (const auto &[prefix, name] : bindings)
        weight += 1 + prefix.count(u'=') + name.count(u'=');
    return weight;
}

bool XmlDocument::openFile(const QString &path, QFile &file) {
    d->clearContent();
    m_errorString.clear();
    // Only a regular file (or a link to one) is read: a FIFO would block
    // and a device never ends.
    struct stat info {};
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &info) != 0) {
        m_errorString = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        m_errorString = QStringLiteral("%1 is a folder, not a file").arg(path);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        m_errorString = QStringLiteral("%1 is not a regular file").arg(path);
        return false;
    }
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_errorString = file.errorString();
        return false;
    }
    return true;
}

bool XmlDocument::load(const QString &path) {
    QFile file;
    return openFile(path, file) && load(&file);
}

bool XmlDocument::load(const QString &path, QByteArray *bytes,
                       const std::function<void(const QByteArray &)> &beforeParse) {
    QFile file;
    if (!openFile(path, file))
        return false;
    const qint64 size = file.size();
    QByteArray text;
    if (size > 0) {
        // Sized exactly: resize() would round a large file up to the next
        // power of two.
        text = QByteArray(qsizetype(size), Qt::Uninitialized);
        LargePages::advise(text);
        const qint64 n = file.read(text.data(), size);
        if (n < 0) {
            m_errorString = file.errorString();
            return false;
        }
        text.truncate(qsizetype(n));
    }
    // A file that grew meanwhile is read to its end all the same.
    if (!file.atEnd())
        text += file.readAll();
    if (beforeParse)
        beforeParse(text);
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    const bool ok = loadFrom(&buffer, QFile::encodeName(path));
    buffer.close();
    *bytes = std::move(text);
    return ok;
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
    const QFile *file = qobject_cast<const QFile *>(device);
    return loadFrom(device, file ? QFile::encodeName(file->fileName()) : QByteArray());
}

bool XmlDocument::loadFrom(QIODevice *device, const QByteArray &name) {
    const Namespaces given = d->namespaces;
    Parser parser(this, *d, true);
    if (!parser.run(*device, name, m_errorString)) {
        d->clearContent();
        d->namespaces = given;
        return false;
    }
    d->names.makeTexts();
    return true;
}

QString XmlDocument::checkWellFormed(const QByteArray &data) {
    QByteArray copy = data; // shared, not copied
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    XmlDocument document;
    Parser parser(&document, *document.d, false);
    QString error;
    if (parser.run(buffer, QByteArray(), error))
        return {};
    return error;
}

QString XmlDocument::checkFragment(const QByteArray &fragment, const Namespaces &declared,
                                   int *line, int *column) {
    QByteArray wrapped("<fragment");
    // Only the prefixes the fragment can use: thousands of declarations
    // around every fragment would cost more than the fragment.
    const Namespaces used =
        declared.size() > 16 ? PrefixIndex(declared).usedBy(fragment) : declared;
    for (const auto &[prefix, name] : used) {
        wrapped += " xmlns:";
        wrapped += prefix.toUtf8();
        wrapped += "=\"";
        XmlEscape::appendAttribute(wrapped, name.toUtf8());
        wrapped += '"';
    }
    wrapped += '>';
    const qsizetype offset = wrapped.size();
    wrapped += fragment;
    wrapped += "</fragment>";
    QString error = checkWellFormed(wrapped);
    if (error.isEmpty())
        return error;
    // Positions count in the fragment, not in the wrapper around it.
    static const QRegularExpression position(QStringLiteral(" \\(line (\\d+), column (\\d+)\\)$"));
    const QRegularExpressionMatch match = position.match(error);
    if (match.hasMatch()) {
        int l = match.captured(1).toInt();
        int c = match.captured(2).toInt();
        if (l == 1)
            c = qMax(1, c - int(offset));
        if (line)
            *line = l;
        if (column)
            *column = c;
        error = error.left(match.capturedStart()) +
                QStringLiteral(" (line %1, column %2)").arg(l).arg(c);
    }
    return error;
}

XmlNode XmlDocument::documentElement() const {
    return d->root < 0 ? XmlNode() : XmlNode(this, d->root);
}

QList<XmlNode> XmlDocument::prolog() const {
    QList<XmlNode> nodes;
    for (const qint32 index : d->prolog)
        nodes.append(XmlNode(this, index));
    return nodes;
}

XmlNode XmlDocument::selectSingleNode(QStringView path) const {
    const QList<XmlNode> found = d->select(this, -1, path, true);
    return found.isEmpty() ? XmlNode() : found.first();
}

QList<XmlNode> XmlDocument::selectNodes(QStringView path) const {
    return d->select(this, -1, path, false);
}
