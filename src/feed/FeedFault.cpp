#include "FeedFault.h"

#include "FeedText.h"
#include "model/PodcastDocument.h"
#include "xml/PrefixIndex.h"
#include "xml/XmlDocument.h"

#include <array>

namespace FeedFault {
namespace {
bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'-' || c == u'.' || c == u':';
}

bool isXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Whether `&` at `at` starts a reference that stands in a saved feed of its
// own: the five XML names or a character number.
bool startsReference(const QString &text, qsizetype at) {
    const qsizetype end = text.indexOf(u';', at + 1);
    if (end < 0)
        return false;
    const QStringView name = QStringView(text).sliced(at + 1, end - at - 1);
    if (name == u"amp" || name == u"lt" || name == u"gt" || name == u"quot" || name == u"apos")
        return true;
    bool ok = false;
    uint code = 0;
    if (name.startsWith(u"#x"))
        code = name.sliced(2).toUInt(&ok, 16);
    else if (name.startsWith(u'#'))
        code = name.sliced(1).toUInt(&ok, 10);
    return ok && isXmlChar(code);
}

QString quoted(const QString &text) {
    return text == u"\"" ? QStringLiteral("'\"'") : QStringLiteral("\"%1\"").arg(text);
}

QString writeAs(const QString &character, const QString &reference) {
    return QStringLiteral("%1 must be written as %2").arg(quoted(character), quoted(reference));
}

XmlDocument::Namespaces declared(const PodcastDocument &document) {
    XmlDocument::Namespaces namespaces = document.namespaces();
    namespaces.prepend({QStringLiteral("itunes"), QString::fromLatin1(FeedText::ItunesNamespace)});
    return namespaces;
}

// Each block is checked with only the prefixes it can use declared around
// it: with all of them, a feed of thousands would fault every block.
QString blockProblem(const QByteArray &block, const PrefixIndex &namespaces) {
    return block.isEmpty() ? QString()
                           : XmlDocument::checkFragment(block, namespaces.usedBy(block));
}
} // namespace

QString problem(const QString &value, bool attribute) {
    bool markup = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'&' && !startsReference(value, i)) {
            // A name XML does not know: HTML's &eacute; and the like.
            qsizetype end = i + 1;
            while (end < value.size() && isNameChar(value[end]))
                ++end;
            if (end < value.size() && value[end] == u';' && end > i + 1)
                return QStringLiteral("%1 is not an XML reference; write the character itself")
                    .arg(quoted(value.sliced(i, end - i + 1)));
            return writeAs(QStringLiteral("&"), QStringLiteral("&amp;"));
        }
        if (c == u'<') {
            if (attribute)
                return writeAs(QStringLiteral("<"), QStringLiteral("&lt;"));
            markup = true;
        }
        if (attribute && c == u'"')
            return writeAs(QStringLiteral("\""), QStringLiteral("&quot;"));
        const char32_t code =
            c.isHighSurrogate() && i + 1 < value.size() && value[i + 1].isLowSurrogate()
                ? QChar::surrogateToUcs4(c, value[i + 1])
                : c.unicode();
        if (code > 0xFFFF)
            ++i;
        else if (!isXmlChar(code) || c.isSurrogate())
            return QStringLiteral("the character U+%1 is not allowed in XML")
                .arg(QStringLiteral("%1").arg(uint(code), 4, 16, QLatin1Char('0')).toUpper());
    }
    if (!attribute && value.contains(u"]]>"))
        return writeAs(QStringLiteral(">"), QStringLiteral("&gt;"));
    if (markup) {
        // Markup a loaded feed held (HTML inside a description) is fine as
        // long as it is whole.
        const QString error = XmlDocument::checkFragment(value.toUtf8(), {});
        if (!error.isEmpty())
            return writeAs(QStringLiteral("<"), QStringLiteral("&lt;"));
    }
    return {};
}

QString problem(QByteArrayView utf8, bool attribute) {
    // '&', '<', ']' (of "]]>"), '"' in an attribute, control characters,
    // and 0xEF, which starts U+FFFE and U+FFFF: the long way. By table: the
    // check reads every byte of a feed.
    static constexpr auto Suspect = [] {
        std::array<quint8, 256> table{};
        for (int c = 0; c < 0x20; ++c)
            table[size_t(c)] = c == '\t' || c == '\n' || c == '\r' ? 0 : 3;
        table['&'] = table['<'] = table[']'] = table[0xEF] = 3;
        table['"'] = 2; // in an attribute only
        return table;
    }();
    const quint8 mask = attribute ? 2 : 1;
    const auto *bytes = reinterpret_cast<const uchar *>(utf8.data());
    for (qsizetype i = 0, size = utf8.size(); i < size; ++i) {
        if (Suspect[bytes[i]] & mask)
            return problem(QString::fromUtf8(utf8), attribute);
    }
    return {};
}

bool isAttributeField(int index) {
    return index == ChannelField::Category || index == ChannelField::ImageLink;
}

bool isAttributeColumn(int column) {
    return column == EpisodeColumn::Url || column == EpisodeColumn::Type ||
           column == EpisodeColumn::Length;
}

QString locate(const PodcastDocument &document) {
    // The root element comes first: it declares every prefix, beside its
    // version attribute.
    const XmlDocument::Namespaces bindings = declared(document);
    if (bindings.size() > XmlDocument::MaxNamespacesInScope ||
        XmlDocument::namespaceWeight(bindings) + 1 > XmlInputGuard::MaxAttributes)
        return QStringLiteral("The root element declares %1 namespace prefixes; at most %2 "
                              "are taken.")
            .arg(bindings.size())
            .arg(XmlDocument::MaxNamespacesInScope);
    for (int i = 0; i < ChannelField::Count; ++i) {
        const QString reason = problem(document.field(i), isAttributeField(i));
        if (!reason.isEmpty())
            return QStringLiteral("%1 %2.").arg(ChannelField::caption(i), reason);
    }
    const PrefixIndex namespaces(bindings);
    if (const QString reason = blockProblem(document.channelExtra(), namespaces); !reason.isEmpty())
        return QStringLiteral("More Tags of the podcast: %1.").arg(reason);

    qsizetype number = 0;
    for (const Episode &episode : document.episodes()) {
        ++number;
        for (int c = 0; c < EpisodeColumn::Count; ++c) {
            const QString reason = problem(episode.view(c), isAttributeColumn(c));
            if (!reason.isEmpty())
                return QStringLiteral("Episode %1, %2: %3.")
                    .arg(number)
                    .arg(EpisodeColumn::header(c), reason);
        }
        if (const QString reason = blockProblem(episode.extra(), namespaces); !reason.isEmpty())
            return QStringLiteral("Episode %1, More Tags: %2.").arg(number).arg(reason);
    }
    if (const QString reason = blockProblem(document.hiddenItems(), namespaces); !reason.isEmpty())
        return QStringLiteral("Items without a title: %1.").arg(reason);
    return {};
}
} // namespace FeedFault
