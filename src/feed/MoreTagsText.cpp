#include "MoreTagsText.h"

#include "KeptContent.h"
#include "xml/XmlDocument.h"

#include <QRegularExpression>
#include <QStringList>
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

// The parser reads the text inside an element of its own, and names it
// where the text ends before its tags do; the user knows no such element.
QString ownWords(const QString &error, const QString &text) {
    static const QRegularExpression unopened(
        QStringLiteral("^Opening and ending tag mismatch: fragment line \\d+ and (\\S+)$"));
    static const QRegularExpression unclosed(
        QStringLiteral("^Opening and ending tag mismatch: (\\S+) line (\\d+) and fragment$"));
    QRegularExpressionMatch match = unopened.match(error);
    if (match.hasMatch())
        return QStringLiteral("</%1> closes a tag that is not open.").arg(match.captured(1));
    match = unclosed.match(error);
    if (match.hasMatch()) {
        // The parser gives the local name; the line has the name as written.
        QString name = match.captured(1);
        const QString line =
            text.section(u'\n', match.captured(2).toInt() - 1, match.captured(2).toInt() - 1);
        const QRegularExpression written(QStringLiteral("<([A-Za-z_][A-Za-z0-9_.-]*:)?%1[\\s/>]")
                                             .arg(QRegularExpression::escape(name)));
        const QRegularExpressionMatch tag = written.match(line + u' ');
        if (tag.hasMatch())
            name.prepend(tag.captured(1));
        return QStringLiteral("<%1> on line %2 is not closed.").arg(name, match.captured(2));
    }
    // A section, comment or tag left open runs on past the wrapper's end.
    if (error == u"Premature end of data in tag fragment")
        return QStringLiteral("A CDATA section, comment or tag is not closed.");
    static const QRegularExpression wrapper(QStringLiteral("\\bfragment\\b"));
    QString words = error;
    return words.replace(wrapper, QStringLiteral("the end of the tags"));
}

// An error the parser finds past the end of the text (the wrapper's closing
// tag) is shown where the text ends.
void clampToText(const QString &text, int *line, int *column) {
    const QStringList lines = text.split(u'\n');
    if (*line < 1) {
        *line = 1;
        *column = 1;
    }
    if (*line > lines.size()) {
        *line = int(lines.size());
        *column = int(lines.last().size()) + 1;
    }
    const int length = int(lines.at(*line - 1).size());
    *column = std::clamp(*column, 1, length + 1);
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
        result.error = ownWords(result.error, text);
        clampToText(text, &result.line, &result.column);
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
