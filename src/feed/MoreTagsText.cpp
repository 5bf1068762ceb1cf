#include "MoreTagsText.h"

#include "KeptContent.h"
#include "xml/XmlDocument.h"

#include <QXmlStreamReader>
#include <algorithm>

namespace MoreTagsText {
namespace {
// 1-based line and column of a byte offset, the column in characters.
void positionOf(const QByteArray &utf8, qsizetype offset, int *line, int *column) {
    const qsizetype lineStart = utf8.lastIndexOf('\n', offset - 1) + 1;
    *line = int(utf8.first(offset).count('\n')) + 1;
    *column = int(QString::fromUtf8(utf8.sliced(lineStart, offset - lineStart)).size()) + 1;
}

bool binds(const WellKnownNamespaces::Namespaces &namespaces, QStringView prefix) {
    return std::any_of(namespaces.begin(), namespaces.end(),
                       [&](const auto &pair) { return pair.first == prefix; });
}

// The well-known prefixes the fragment uses with their well-known meaning
// and the document has not declared; itunes the writer always declares.
WellKnownNamespaces::Namespaces neededPrefixes(const QByteArray &fragment,
                                               const WellKnownNamespaces::Namespaces &document) {
    const WellKnownNamespaces::Namespaces declared = WellKnownNamespaces::declaredWith(document);
    QByteArray wrapped("<fragment");
    for (const auto &[prefix, name] : declared)
        wrapped += " xmlns:" + prefix.toUtf8() + "=\"" + name.toHtmlEscaped().toUtf8() + '"';
    wrapped += '>' + fragment + "</fragment>";

    WellKnownNamespaces::Namespaces added;
    auto note = [&](QStringView prefix, QStringView uri) {
        if (prefix.isEmpty() || prefix == u"itunes" || binds(document, prefix) ||
            binds(added, prefix))
            return;
        for (const auto &[known, name] : WellKnownNamespaces::all()) {
            if (known == prefix && name == uri)
                added.append({known, name});
        }
    };
    QXmlStreamReader reader(wrapped);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        note(reader.prefix(), reader.namespaceUri());
        for (const QXmlStreamAttribute &attribute : reader.attributes())
            note(attribute.prefix(), attribute.namespaceUri());
    }
    return added;
}
} // namespace

QString fromBlock(const QByteArray &block) {
    QString text = QString::fromUtf8(block);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

Result check(const QString &text, const WellKnownNamespaces::Namespaces &documentNamespaces) {
    Result result;
    const QByteArray utf8 = text.toUtf8();
    const QString error = XmlDocument::checkFragment(
        utf8, WellKnownNamespaces::declaredWith(documentNamespaces), &result.line, &result.column);
    if (!error.isEmpty()) {
        result.error = error;
        // The position goes in its own fields; the reason reads alone.
        const qsizetype at = error.lastIndexOf(QStringLiteral(" (line "));
        if (at > 0 && error.endsWith(u')'))
            result.error = error.left(at);
        if (result.line < 1) {
            result.line = 1;
            result.column = 1;
        }
        return result;
    }

    QByteArray block;
    for (const KeptContent::Node &node : KeptContent::split(utf8)) {
        if (node.name.isEmpty() &&
            (!node.xml.startsWith('<') || node.xml.startsWith("<![CDATA["))) {
            result.error = QStringLiteral("Text must stand inside an element.");
            positionOf(utf8, node.xml.data() - utf8.constData(), &result.line, &result.column);
            return result;
        }
        KeptContent::append(block, node.xml);
    }
    result.block = block;
    result.added = neededPrefixes(utf8, documentNamespaces);
    return result;
}
} // namespace MoreTagsText
