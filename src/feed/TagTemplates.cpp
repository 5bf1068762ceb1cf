#include "TagTemplates.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUuid>

namespace TagTemplates {
namespace {
// An address of the show's web space for the examples: the folder of the
// episode's audio, else the website, else an obvious placeholder.
QString folderOf(const QString &address) {
    const qsizetype slash = address.lastIndexOf(u'/');
    const qsizetype scheme = address.indexOf(QStringLiteral("://"));
    if (scheme < 0 || slash < scheme + 3)
        return QString();
    return address.left(slash + 1);
}

QString site(const Context &context) {
    QString link = context.websiteLink.trimmed();
    if (!link.contains(QStringLiteral("://")))
        return QStringLiteral("https://example.com/");
    if (!link.endsWith(u'/'))
        link += u'/';
    return link;
}

QString feed(const Context &context) {
    return context.feedAddress.isEmpty() ? site(context) + QStringLiteral("Podcast.xml")
                                         : context.feedAddress;
}

// The episode's own file name without its extension, for companion files.
QString episodeStem(const Context &context) {
    const QString path = QUrl(context.episodeUrl).path();
    QString name = path.mid(path.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0)
        name.truncate(dot);
    return name.isEmpty() ? QStringLiteral("episode") : name;
}

QString episodeFolder(const Context &context) {
    const QString folder = folderOf(context.episodeUrl);
    return folder.isEmpty() ? site(context) : folder;
}

// Values are held as the file writes them; the GUID is made from the
// address itself.
QString plain(QString text) {
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    text.replace(QStringLiteral("&apos;"), QStringLiteral("'"));
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return text;
}

QString number(const Context &context) {
    return QString::number(context.episodeNumber > 0 ? context.episodeNumber : 1);
}
} // namespace

QList<Template> podcast(const Context &context) {
    const QString owner =
        context.ownerEmail.isEmpty() ? QStringLiteral("you@example.com") : context.ownerEmail;
    return {
        {QStringLiteral("itunes:explicit"),
         QStringLiteral("<itunes:explicit>false</itunes:explicit>")},
        {QStringLiteral("itunes:type"), QStringLiteral("<itunes:type>episodic</itunes:type>")},
        {QStringLiteral("atom:link rel=\"self\""),
         QStringLiteral("<atom:link href=\"%1\" rel=\"self\" type=\"application/rss+xml\"/>")
             .arg(feed(context))},
        {QStringLiteral("itunes:new-feed-url"),
         QStringLiteral("<itunes:new-feed-url>%1</itunes:new-feed-url>").arg(feed(context))},
        {QStringLiteral("podcast:guid"),
         QStringLiteral("<podcast:guid>%1</podcast:guid>").arg(podcastGuid(plain(feed(context))))},
        {QStringLiteral("podcast:locked"),
         QStringLiteral("<podcast:locked owner=\"%1\">yes</podcast:locked>").arg(owner)},
        {QStringLiteral("podcast:funding"),
         QStringLiteral("<podcast:funding url=\"%1support\">Support the show</podcast:funding>")
             .arg(site(context))},
        {QStringLiteral("Second category with a sub-category"),
         // Indented as the file lays out the channel, as a loaded one is held.
         QStringLiteral("<itunes:category text=\"Arts\">\n"
                        "               <itunes:category text=\"Books\"/>\n"
                        "          </itunes:category>")},
    };
}

QList<Template> episode(const Context &context) {
    const QString folder = episodeFolder(context);
    const QString stem = episodeStem(context);
    QString title = context.episodeTitle;
    if (title.trimmed().isEmpty())
        title = QStringLiteral("Episode title");
    return {
        {QStringLiteral("description (HTML show notes)"),
         QStringLiteral("<description><![CDATA[<p>What this episode is about.</p>\n"
                        "<ul>\n<li>A link: <a href=\"%1\">%1</a></li>\n</ul>]]></description>")
             .arg(site(context))},
        {QStringLiteral("content:encoded"),
         QStringLiteral("<content:encoded><![CDATA[<p>What this episode is about.</p>]]>"
                        "</content:encoded>")},
        {QStringLiteral("link"), QStringLiteral("<link>%1%2</link>").arg(site(context), stem)},
        {QStringLiteral("itunes:episode"),
         QStringLiteral("<itunes:episode>%1</itunes:episode>").arg(number(context))},
        {QStringLiteral("itunes:season"), QStringLiteral("<itunes:season>1</itunes:season>")},
        {QStringLiteral("itunes:episodeType"),
         QStringLiteral("<itunes:episodeType>full</itunes:episodeType>")},
        {QStringLiteral("itunes:title"),
         QStringLiteral("<itunes:title>%1</itunes:title>").arg(title)},
        {QStringLiteral("itunes:image"),
         QStringLiteral("<itunes:image href=\"%1%2.jpg\"/>").arg(folder, stem)},
        {QStringLiteral("podcast:transcript"),
         QStringLiteral("<podcast:transcript url=\"%1%2.vtt\" type=\"text/vtt\"/>")
             .arg(folder, stem)},
        {QStringLiteral("podcast:chapters"),
         QStringLiteral("<podcast:chapters url=\"%1%2.json\" type=\"application/json+chapters\"/>")
             .arg(folder, stem)},
    };
}

QStringList singleTags(Scope scope) {
    if (scope == Scope::Podcast)
        return {u"itunes:explicit"_qs,
                u"itunes:type"_qs,
                u"itunes:complete"_qs,
                u"itunes:new-feed-url"_qs,
                u"itunes:block"_qs,
                u"itunes:image"_qs,
                u"itunes:title"_qs,
                u"podcast:guid"_qs,
                u"podcast:locked"_qs,
                u"podcast:medium"_qs,
                u"managingEditor"_qs,
                u"webMaster"_qs,
                u"ttl"_qs,
                u"generator"_qs,
                u"docs"_qs};
    return {
        u"itunes:title"_qs,    u"itunes:episode"_qs, u"itunes:season"_qs, u"itunes:episodeType"_qs,
        u"itunes:block"_qs,    u"itunes:image"_qs,   u"link"_qs,          u"description"_qs,
        u"content:encoded"_qs, u"author"_qs,         u"comments"_qs,      u"podcast:chapters"_qs};
}

QString tagOf(const QString &xml) {
    static const QRegularExpression element(QStringLiteral("<([A-Za-z_][A-Za-z0-9_.:-]*)"));
    return element.match(xml).captured(1);
}

QString podcastGuid(const QString &feedAddress) {
    static const QUuid podcastNamespace(QStringLiteral("ead4c236-bf58-58c6-a2c6-a6b28d128cb6"));
    QString name = feedAddress.trimmed();
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    name.remove(scheme);
    while (name.endsWith(u'/'))
        name.chop(1);
    return QUuid::createUuidV5(podcastNamespace, name.toUtf8()).toString(QUuid::WithoutBraces);
}

QString feedAddressIn(const QString &text) {
    static const QRegularExpression link(QStringLiteral("<atom:link\\b[^>]*>"));
    static const QRegularExpression self(QStringLiteral("\\brel\\s*=\\s*[\"']self[\"']"));
    static const QRegularExpression href(QStringLiteral("\\bhref\\s*=\\s*[\"']([^\"']*)[\"']"));
    for (const QRegularExpressionMatch &tag : link.globalMatch(text)) {
        if (!self.match(tag.captured()).hasMatch())
            continue;
        const QRegularExpressionMatch address = href.match(tag.captured());
        if (address.hasMatch() && !address.captured(1).trimmed().isEmpty())
            return address.captured(1).trimmed();
    }
    static const QRegularExpression newFeed(
        QStringLiteral("<itunes:new-feed-url>\\s*([^<\\s]+)\\s*</itunes:new-feed-url>"));
    const QRegularExpressionMatch moved = newFeed.match(text);
    return moved.hasMatch() ? moved.captured(1) : QString();
}
} // namespace TagTemplates
