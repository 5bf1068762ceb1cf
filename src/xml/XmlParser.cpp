#include "XmlParser.h"

#include "BackgroundRead.h"

#include "WorkProgress.h"
#include "XmlEscape.h"

#include <QRegularExpression>

#include <libxml/HTMLparser.h>
#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/valid.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

using namespace XmlStore;
using namespace XmlParsing;

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

namespace {
// libxml2 2.9's push parser names the faults at a document's two ends
// unlike its own pull parser and xmllint: text where the root should
// start is "Document is empty", and a document cut short, the usual
// result of an upload that failed, is "Extra content at the end of the
// document". The message says what is wrong instead.
QString namedAtTheEnds(const xmlParserCtxt &context, int code, qint64 bytesRead,
                       const QString &message) {
    const bool beforeRoot = context.instate == XML_PARSER_START ||
                            context.instate == XML_PARSER_MISC ||
                            context.instate == XML_PARSER_PROLOG;
    if (code == XML_ERR_DOCUMENT_EMPTY || (code == XML_ERR_DOCUMENT_END && beforeRoot))
        return bytesRead == 0 ? QStringLiteral("Document is empty")
                              : QStringLiteral("Start tag expected, '<' not found");
    if (code == XML_ERR_DOCUMENT_END && context.instate != XML_PARSER_EPILOG &&
        context.nameNr > 0 && context.name)
        return QStringLiteral("Premature end of data in tag %1")
            .arg(QString::fromUtf8(reinterpret_cast<const char *>(context.name)));
    // libxml2 2.11 and later say so themselves, with the tag's own line,
    // which the position given after the message makes one too many.
    if (code == XML_ERR_TAG_NOT_FINISHED) {
        static const QRegularExpression tagLine(
            QStringLiteral("^(Premature end of data in tag \\S+) line \\d+$"));
        const QRegularExpressionMatch match = tagLine.match(message);
        if (match.hasMatch())
            return match.captured(1);
    }
    return message;
}
} // namespace

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
    message = namedAtTheEnds(*static_cast<xmlParserCtxtPtr>(context), error->code,
                             parser.m_bytesRead, message);
    parser.m_errorCode = error->code;
    parser.m_errorLine = error->line;
    parser.m_errorColumn = parser.sourceColumn(error->line, error->int2);
    parser.m_stopped = true;
    parser.m_error = QStringLiteral("%1 (line %2, column %3)")
                         .arg(withCodePoints(message))
                         .arg(error->line)
                         .arg(parser.m_errorColumn);
}

void XmlDocument::Parser::startElement(void *context, const xmlChar *localName,
                                       const xmlChar *prefix, const xmlChar *uri,
                                       int namespaceCount, const xmlChar **namespaces,
                                       int attributeCount, int defaultedCount,
                                       const xmlChar **attributes) {
    Parser &p = of(context);
    p.endBlankRun();
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
            bool asNamed = true;
            if (prefix) {
                const QByteArray written = p.outputPrefix(prefix, uri);
                asNamed = written == view(prefix);
                out += written;
                out += ':';
            }
            out += view(localName);
            if (asNamed)
                node.flags |= NamedAsWritten;
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
            // What ended before the element no longer ends the buffer.
            p.m_cdataEnd = -1;
            p.endBlankRun();
            p.m_afterStreamed = true;
            return;
        }
        p.endBlankRun();
    });
}

void XmlDocument::Parser::characters(void *context, const xmlChar *text, int length) {
    Parser &p = of(context);
    p.charge(length);
    if (!p.retaining() || p.m_fromText)
        return;
    const QByteArrayView chunk(reinterpret_cast<const char *>(text), length);
    if (p.m_afterStreamed && XmlEscape::isBlank(chunk)) {
        p.guarded([&] { p.m_heldBlank += chunk; });
        return;
    }
    p.guarded([&] {
        if (p.m_afterStreamed)
            XmlEscape::appendText(p.m_data.buffer, p.m_heldBlank);
        p.endBlankRun();
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
    p.endBlankRun();
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
    endBlankRun();
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
    // Only as far as the file is read: an item that goes on past it is
    // stored by the callbacks.
    QByteArrayView text = d.streamedText;
    if (m_backgroundRead)
        text = text.first(std::min(text.size(), m_backgroundRead->filled()));
    m_fromText = d.storeAsWritten(text, at, name, index,
                                  [this](QByteArrayView prefix) { return prefixKept(prefix); });
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
