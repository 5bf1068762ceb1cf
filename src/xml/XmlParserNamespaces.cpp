#include "XmlParser.h"

#include "WorkProgress.h"
#include "XmlEscape.h"

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
