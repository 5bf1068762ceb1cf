#pragma once

// The parser behind XmlDocument: one run of libxml2 over one input, filling
// the store (XmlStore.h). Split by what it handles: the callbacks
// (XmlParser.cpp), the input and the run (XmlParserInput.cpp), and the
// namespace prefixes (XmlParserNamespaces.cpp).

#include "XmlDocument.h"
#include "XmlInputGuard.h"
#include "XmlStore.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <unordered_map>
#include <utility>
#include <vector>

class QIODevice;

namespace XmlParsing {
inline QByteArrayView view(const xmlChar *text) {
    return text ? QByteArrayView(reinterpret_cast<const char *>(text)) : QByteArrayView();
}

inline QByteArray qualified(const xmlChar *prefix, const xmlChar *local) {
    if (!prefix)
        return view(local).toByteArray();
    QByteArray name = view(prefix).toByteArray();
    name += ':';
    name += view(local);
    return name;
}

constexpr int ParseOptions =
    XML_PARSE_NONET | XML_PARSE_NOENT | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

void initialiseLibxml2();
// The message with its invisible character named by code.
QString withCodePoints(QString message);
// Where the first byte that the encoding cannot decode stands, counted in
// characters of the decoded text; libxml2 decodes ahead of its parsing and
// would name a later place, or only the end of what it could decode.
bool locateUndecodable(const QByteArray &bytes, const QByteArray &encoding, int *line, int *column,
                       QByteArray *offending);
QString byteList(const QByteArray &bytes);
} // namespace XmlParsing

// One run of libxml2 over one input, filling Data.
class XmlDocument::Parser {
public:
    Parser(const XmlDocument *document, Data &data, bool store)
        : m_document(document)
        , m_data(data)
        , m_store(store) {}

    bool run(QIODevice &device, const QByteArray &name, QString &error);
    // The buffer read is still being filled by `read`: bytes are taken only
    // once they are in.
    void setBackgroundRead(const BackgroundRead *read) { m_backgroundRead = read; }

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
        const qint32 id = m_data.names.intern(XmlParsing::qualified(prefix, local));
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
    const BackgroundRead *m_backgroundRead = nullptr;
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
    std::unordered_map<QByteArray, bool, XmlStore::ViewHash, XmlStore::ViewEqual>
        m_keptPrefixes;      // for m_declared
    bool m_fromText = false; // inside a streamed element stored from the text
    // Right after a streamed element, which the store has forgotten: the
    // white space around a feed's items is not kept either. libxml2 hands a
    // run of text over in pieces, so blank pieces are held until the run
    // turns out to hold more (then they are kept with it) or ends.
    bool m_afterStreamed = false;
    QByteArray m_heldBlank;
    void endBlankRun() {
        m_afterStreamed = false;
        m_heldBlank.resize(0); // keeps its room for the next item's
    }
    qint64 m_inserted = 0; // bytes push() put into the input
    qsizetype m_inScope = 0;
    // Where push() ended and began a CDATA section again: line and column.
    std::vector<std::pair<int, int>> m_cdataBreaks;
    // How much of a CDATA section libxml2 may hold before it is broken up.
    static constexpr qsizetype CdataBacklog = qsizetype(256) << 10;
};
