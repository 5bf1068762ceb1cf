#include "FeedCheck.h"

#include "AppleCategories.h"
#include "FeedCheckApple.h"
#include "FeedCheckInput.h"
#include "FeedCheckSaving.h"
#include "FeedCheckValues.h"
#include "FeedCheckW3c.h"
#include "FeedSchema.h"
#include "FeedSource.h"
#include "KeptContentReader.h"
#include "SourceFeedText.h"
#include "model/PodcastDocument.h"
#include "xml/PrefixIndex.h"

#include <QHash>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <memory>
#include <tuple>
#include <vector>

using Severity = FeedFinding::Severity;
using Place = FeedFinding::Place;

namespace {
constexpr auto Error = Severity::Error;
constexpr auto Warning = Severity::Warning;
using FeedCheck::Source;

using namespace FeedCheckValues;
using AppleCategories::Category;
using AppleCategories::isRetired;
using AppleCategories::isRetiredSubcategory;
using AppleCategories::isSubcategoryOf;
using AppleCategories::parentOf;

const Category *findCategory(const QString &name) {
    return AppleCategories::find(name);
}

// Channel first (fields in index order, then kept elements), then each
// episode (columns in order, then its kept elements).
std::tuple<qsizetype, int, int> sortKey(const Place &place) {
    if (place.episode == 0)
        return {0, place.isField() ? 0 : 1, place.isField() ? place.field : 0};
    return {place.episode, place.column >= 0 ? 0 : 1, std::max(place.column, 0)};
}

bool placeOrder(const FeedFinding &a, const FeedFinding &b) {
    return sortKey(a.place) < sortKey(b.place);
}

// An episode's kept content, parsed only once a rule asks for an element
// whose name the block holds at all: most blocks never need it, and a feed
// of many items does not keep a document for each.
class EpisodeContent {
public:
    EpisodeContent(const QByteArray &block, const PrefixIndex &prefixes)
        : m_block(block)
        , m_prefixes(&prefixes) {}

    QList<XmlNode> elements(const QString &namespaceName, const QString &localName) const {
        if (!m_block.contains(localName.toUtf8()))
            return {};
        if (!m_reader) {
            // Declaring only the prefixes the block uses: with all of a feed's
            // thousands around every block, the check took minutes.
            m_reader = std::make_unique<KeptContentReader>(m_block, m_prefixes->usedBy(m_block));
        }
        return m_reader->elements(namespaceName, localName);
    }
    XmlNode first(const QString &namespaceName, const QString &localName) const {
        const QList<XmlNode> found = elements(namespaceName, localName);
        return found.isEmpty() ? XmlNode() : found.first();
    }

private:
    QByteArray m_block;
    const PrefixIndex *m_prefixes;
    mutable std::unique_ptr<KeptContentReader> m_reader;
};

// What the rules look at, read once.
struct Scan {
    const PodcastDocument &document;
    QDateTime now;
    std::unique_ptr<KeptContentReader> channel;
    std::vector<EpisodeContent> episodes;

    const EpisodeContent &episode(qsizetype number) const { return episodes[number - 1]; }
    QString field(int index) const { return document.field(index); }
    QString column(qsizetype number, int column) const { return document.episode(number)[column]; }
    bool isSerial() const {
        const XmlNode type = channel->first(KeptContentReader::Itunes, u"type"_qs);
        return !type.isNull() && type.text() == u"serial";
    }
};

// Keeps each rule's first findings in feed order and counts the rest, so
// that a feed of a million items gives a short report in little memory.
class Findings {
public:
    explicit Findings(QList<FeedFinding> &out)
        : m_out(out) {}
    Findings(const Findings &) = delete;
    Findings &operator=(const Findings &) = delete;

    void setRule(const FeedCheck::Rule &rule) {
        finishRule();
        m_rule = &rule;
        m_id = QString::fromLatin1(rule.id);
        m_source = FeedCheck::sourceName(rule.source);
    }
    void add(const Place &place, const QString &message) {
        // Once the first ones are known, a finding after the last of them
        // is only counted.
        if (m_full && !(sortKey(place) < sortKey(m_pending.last().place))) {
            ++m_left;
            return;
        }
        m_full = false;
        m_pending.append({m_rule->severity, m_id, place, message, m_source});
        // Most rules find in feed order, not all: trimmed now and then to
        // the first by place, which a later finding may still displace.
        if (m_pending.size() >= 2 * FeedCheck::FindingsPerRule)
            trim();
    }
    void finishRule() {
        trim();
        if (!m_pending.isEmpty())
            m_pending.last().more = m_left;
        m_out.append(m_pending);
        m_pending.clear();
        m_left = 0;
        m_full = false;
    }

private:
    void trim() {
        std::stable_sort(m_pending.begin(), m_pending.end(), placeOrder);
        if (m_pending.size() >= FeedCheck::FindingsPerRule) {
            m_left += m_pending.size() - FeedCheck::FindingsPerRule;
            m_pending.resize(FeedCheck::FindingsPerRule);
            m_full = true;
        }
    }

    QList<FeedFinding> &m_out;
    const FeedCheck::Rule *m_rule = nullptr;
    QString m_id;
    QString m_source;
    QList<FeedFinding> m_pending;
    qsizetype m_left = 0;
    bool m_full = false; // sorted, and as many as a rule shows
};

using CheckFunction = void (*)(const Scan &, Findings &);

struct Entry {
    FeedCheck::Rule rule;
    CheckFunction check;
};

template<typename Function> void forEachEpisode(const Scan &scan, Function function) {
    for (qsizetype number = 1; number <= scan.document.episodeCount(); ++number)
        function(number);
}

void requireField(const Scan &scan, Findings &out, int index, const QString &message) {
    if (scan.field(index).trimmed().isEmpty())
        out.add(Place::ofField(index), message);
}

// The kept elements of the channel, or of each episode, that hold an address.
struct KeptAddress {
    const QString *namespaceName;
    const char *localName;
    const char *attribute;
    bool episode;
};
const std::initializer_list<KeptAddress> KeptAddresses{
    {&KeptContentReader::Atom, "link", "href", false},
    {&KeptContentReader::PodcastIndex, "funding", "url", false},
    {&KeptContentReader::PodcastIndex, "transcript", "url", true},
    {&KeptContentReader::PodcastIndex, "chapters", "url", true},
    {&KeptContentReader::Itunes, "image", "href", true},
};
using KeptFilter = bool (*)(const KeptAddress &);

QString tagName(const KeptAddress &kept) {
    const QString prefix =
        kept.namespaceName == &KeptContentReader::Atom
            ? u"atom:"_qs
            : (kept.namespaceName == &KeptContentReader::Itunes ? u"itunes:"_qs : u"podcast:"_qs);
    return prefix + QLatin1StringView(kept.localName);
}

template<typename Function>
void forEachKeptAddress(
    const Scan &scan, Function function,
    KeptFilter filter = [](const KeptAddress &) { return true; }) {
    for (const KeptAddress &kept : KeptAddresses) {
        if (!filter(kept))
            continue;
        const QString local = QLatin1StringView(kept.localName);
        const QString attribute = QLatin1StringView(kept.attribute);
        if (!kept.episode) {
            for (const XmlNode &node : scan.channel->elements(*kept.namespaceName, local)) {
                if (KeptContentReader::hasAttribute(node, attribute))
                    function(Place::ofTag(tagName(kept)),
                             KeptContentReader::attribute(node, attribute));
            }
            continue;
        }
        forEachEpisode(scan, [&](qsizetype number) {
            for (const XmlNode &node : scan.episode(number).elements(*kept.namespaceName, local)) {
                if (KeptContentReader::hasAttribute(node, attribute))
                    function(Place::ofTag(tagName(kept), number),
                             KeptContentReader::attribute(node, attribute));
            }
        });
    }
}

// Channel

void channelTitleMissing(const Scan &scan, Findings &out) {
    requireField(scan, out, ChannelField::Title, u"The podcast has no title."_qs);
}

void channelDescriptionMissing(const Scan &scan, Findings &out) {
    requireField(scan, out, ChannelField::Description, u"The podcast has no description."_qs);
}

void channelLanguageMissing(const Scan &scan, Findings &out) {
    requireField(scan, out, ChannelField::Language,
                 u"The podcast has no language; use a code such as en or en-gb."_qs);
}

void channelLanguageCode(const Scan &scan, Findings &out) {
    const QString language = scan.field(ChannelField::Language).trimmed();
    if (!language.isEmpty() && !isIsoLanguage(language))
        out.add(Place::ofField(ChannelField::Language),
                QStringLiteral("\"%1\" is not an ISO 639 language code such as en or en-gb.")
                    .arg(language));
}

void channelLinkMissing(const Scan &scan, Findings &out) {
    requireField(scan, out, ChannelField::Link, u"The podcast has no link to its website."_qs);
}

void channelLinkAddress(const Scan &scan, Findings &out) {
    // Any scheme will do for RSS; the address has to be whole.
    const QString link = scan.field(ChannelField::Link).trimmed();
    if (link.isEmpty() || isFullUri(link))
        return;
    out.add(Place::ofField(ChannelField::Link),
            hasInnerBlank(link)
                ? addressProblem(link)
                : QStringLiteral("\"%1\" is not a full address such as https://example.org/.")
                      .arg(link));
}

void channelImageMissing(const Scan &scan, Findings &out) {
    requireField(scan, out, ChannelField::ImageLink,
                 u"The podcast has no artwork address; Apple requires one."_qs);
}

void channelImageAddress(const Scan &scan, Findings &out) {
    const QString image = scan.field(ChannelField::ImageLink);
    if (!image.trimmed().isEmpty() && !isHttpAddress(image))
        out.add(Place::ofField(ChannelField::ImageLink), addressProblem(image));
}

void channelImageExtension(const Scan &scan, Findings &out) {
    const QString image = scan.field(ChannelField::ImageLink);
    if (!isHttpAddress(image))
        return;
    const QString extension = extensionOf(image);
    if (extension != u"jpg" && extension != u"jpeg" && extension != u"png")
        out.add(Place::ofField(ChannelField::ImageLink),
                u"The artwork address does not end in .jpg, .jpeg or .png."_qs);
}

void channelCategoryMissing(const Scan &scan, Findings &out) {
    requireField(scan, out, ChannelField::Category,
                 u"The podcast has no category; Apple requires one of its categories."_qs);
}

QString unknownCategoryMessage(const QString &name, bool inField) {
    if (const Category *parent = parentOf(name)) {
        return QStringLiteral("\"%1\" is a sub-category of %2: the category is %2.")
            .arg(name, inField ? written(QString::fromLatin1(parent->name))
                               : QString::fromLatin1(parent->name));
    }
    return QStringLiteral("\"%1\" is not one of Apple's categories.").arg(name);
}

void channelCategoryUnknown(const Scan &scan, Findings &out) {
    const QString category = scan.field(ChannelField::Category);
    if (!category.trimmed().isEmpty()) {
        // The field is written as it stands, so an ampersand has to be typed
        // as a reference.
        if (category.contains(u'&') && !category.contains(QStringLiteral("&amp;")) &&
            findCategory(category)) {
            out.add(Place::ofField(ChannelField::Category),
                    QStringLiteral("Write the category as \"%1\".").arg(written(category)));
        } else if (!findCategory(unescaped(category)) || written(unescaped(category)) != category) {
            if (!isRetired(unescaped(category)))
                out.add(Place::ofField(ChannelField::Category),
                        unknownCategoryMessage(category, true));
        }
    }
    for (const XmlNode &node : scan.channel->elements(KeptContentReader::Itunes, u"category"_qs)) {
        if (!KeptContentReader::hasAttribute(node, u"text"_qs))
            continue;
        const QString text = KeptContentReader::attribute(node, u"text"_qs);
        if (!findCategory(text) && !isRetired(text))
            out.add(Place::ofTag(u"itunes:category"_qs), unknownCategoryMessage(text, false));
    }
}

// Each sub-category in the kept content with the name of its category: those
// inside the written category's holder, and those of every further category.
template<typename Function> void forEachSubcategory(const Scan &scan, Function function) {
    bool holderSeen = false;
    for (const XmlNode &node : scan.channel->elements(KeptContentReader::Itunes, u"category"_qs)) {
        QString categoryName;
        if (KeptContentReader::hasAttribute(node, u"text"_qs)) {
            categoryName = KeptContentReader::attribute(node, u"text"_qs);
        } else if (!holderSeen) {
            // Carries the sub-categories of the category in the field.
            holderSeen = true;
            categoryName = unescaped(scan.field(ChannelField::Category));
        } else {
            continue;
        }
        for (const XmlNode &sub :
             scan.channel->children(node, KeptContentReader::Itunes, u"category"_qs))
            function(categoryName, KeptContentReader::attribute(sub, u"text"_qs));
    }
}

void channelCategoryRetired(const Scan &scan, Findings &out) {
    const QString category = unescaped(scan.field(ChannelField::Category));
    if (isRetired(category) && !findCategory(category))
        out.add(Place::ofField(ChannelField::Category),
                QStringLiteral("\"%1\" is no longer one of Apple's categories.")
                    .arg(scan.field(ChannelField::Category)));
    for (const XmlNode &node : scan.channel->elements(KeptContentReader::Itunes, u"category"_qs)) {
        const QString text = KeptContentReader::attribute(node, u"text"_qs);
        if (KeptContentReader::hasAttribute(node, u"text"_qs) && isRetired(text) &&
            !findCategory(text))
            out.add(Place::ofTag(u"itunes:category"_qs),
                    QStringLiteral("\"%1\" is no longer one of Apple's categories.").arg(text));
    }
    forEachSubcategory(scan, [&](const QString &categoryName, const QString &text) {
        const Category *category = findCategory(categoryName);
        if (category && !isSubcategoryOf(*category, text) && isRetiredSubcategory(text))
            out.add(Place::ofTag(u"itunes:category"_qs),
                    QStringLiteral("\"%1\" is no longer a sub-category of %2.")
                        .arg(text, categoryName));
    });
}

void channelSubcategoryUnknown(const Scan &scan, Findings &out) {
    forEachSubcategory(scan, [&](const QString &categoryName, const QString &text) {
        const Category *category = findCategory(categoryName);
        if (category && !isSubcategoryOf(*category, text) && !isRetiredSubcategory(text))
            out.add(Place::ofTag(u"itunes:category"_qs),
                    QStringLiteral("\"%1\" is not a sub-category of %2.").arg(text, categoryName));
    });
}

void channelExplicitMissing(const Scan &scan, Findings &out) {
    if (scan.channel->first(KeptContentReader::Itunes, u"explicit"_qs).isNull())
        out.add(Place::ofTag(u"itunes:explicit"_qs),
                u"The podcast has no itunes:explicit; Apple requires true or false."_qs);
}

void channelExplicitValue(const Scan &scan, Findings &out) {
    const XmlNode node = scan.channel->first(KeptContentReader::Itunes, u"explicit"_qs);
    if (!node.isNull() && !isTrueFalse(node.text()))
        out.add(Place::ofTag(u"itunes:explicit"_qs),
                QStringLiteral("The podcast's explicit value is \"%1\"; Apple takes true or false.")
                    .arg(node.text()));
}

void channelOwnerEmail(const Scan &scan, Findings &out) {
    const QString email = scan.field(ChannelField::OwnerEmail).trimmed();
    if (!email.isEmpty() && !isEmailAddress(email))
        out.add(Place::ofField(ChannelField::OwnerEmail),
                QStringLiteral("\"%1\" is not an e-mail address.").arg(email));
}

void channelType(const Scan &scan, Findings &out) {
    const XmlNode node = scan.channel->first(KeptContentReader::Itunes, u"type"_qs);
    if (!node.isNull() && node.text() != u"episodic" && node.text() != u"serial")
        out.add(Place::ofTag(u"itunes:type"_qs),
                QStringLiteral("The show type is \"%1\"; Apple takes episodic or serial.")
                    .arg(node.text()));
}

void podcastLocked(const Scan &scan, Findings &out) {
    for (const XmlNode &node :
         scan.channel->elements(KeptContentReader::PodcastIndex, u"locked"_qs)) {
        if (node.text() != u"yes" && node.text() != u"no")
            out.add(
                Place::ofTag(u"podcast:locked"_qs),
                QStringLiteral("podcast:locked is \"%1\"; it takes yes or no.").arg(node.text()));
    }
}

void podcastGuid(const Scan &scan, Findings &out) {
    for (const XmlNode &node :
         scan.channel->elements(KeptContentReader::PodcastIndex, u"guid"_qs)) {
        if (!isUuid(node.text()))
            out.add(Place::ofTag(u"podcast:guid"_qs),
                    QStringLiteral("podcast:guid \"%1\" is not a UUID.").arg(node.text()));
    }
}

void reportKeptAddresses(const Scan &scan, Findings &out, KeptFilter filter) {
    forEachKeptAddress(
        scan,
        [&](const Place &place, const QString &address) {
            if (!isHttpAddress(address))
                out.add(place, addressProblem(address));
        },
        filter);
}

void podcastUrl(const Scan &scan, Findings &out) {
    reportKeptAddresses(scan, out, [](const KeptAddress &kept) {
        return kept.namespaceName == &KeptContentReader::PodcastIndex;
    });
}

void episodeImageAddress(const Scan &scan, Findings &out) {
    reportKeptAddresses(scan, out, [](const KeptAddress &kept) {
        return kept.namespaceName == &KeptContentReader::Itunes;
    });
}

// Episodes

void episodeTitleMissing(const Scan &scan, Findings &out) {
    forEachEpisode(scan, [&](qsizetype number) {
        if (scan.column(number, EpisodeColumn::Title).trimmed().isEmpty())
            out.add(Place::ofColumn(number, EpisodeColumn::Title), u"The episode has no title."_qs);
    });
}

void enclosureMissing(const Scan &scan, Findings &out) {
    forEachEpisode(scan, [&](qsizetype number) {
        if (scan.column(number, EpisodeColumn::Url).trimmed().isEmpty())
            out.add(Place::ofColumn(number, EpisodeColumn::Url),
                    u"The episode has no media file address."_qs);
    });
}

void enclosureUrl(const Scan &scan, Findings &out) {
    forEachEpisode(scan, [&](qsizetype number) {
        const QString url = scan.column(number, EpisodeColumn::Url).trimmed();
        if (url.isEmpty() || isHttpAddress(url))
            return;
        out.add(Place::ofColumn(number, EpisodeColumn::Url), addressProblem(url));
    });
}

void enclosureLength(const Scan &scan, Findings &out) {
    forEachEpisode(scan, [&](qsizetype number) {
        const QString length = scan.column(number, EpisodeColumn::Length).trimmed();
        static const QRegularExpression zeros(QStringLiteral("^[+]?0+$"));
        if (length.isEmpty())
            out.add(Place::ofColumn(number, EpisodeColumn::Length),
                    u"The media file's length in bytes is missing."_qs);
        else if (!isPositiveLength(length) && !zeros.match(length).hasMatch())
            out.add(
                Place::ofColumn(number, EpisodeColumn::Length),
                QStringLiteral("The length \"%1\" is not a whole number of bytes.").arg(length));
    });
}

void enclosureLengthZero(const Scan &scan, Findings &out) {
    static const QRegularExpression zeros(QStringLiteral("^[+]?0+$"));
    forEachEpisode(scan, [&](qsizetype number) {
        if (zeros.match(scan.column(number, EpisodeColumn::Length).trimmed()).hasMatch())
            out.add(Place::ofColumn(number, EpisodeColumn::Length),
                    u"The length is 0; give the file's size in bytes."_qs);
    });
}

void enclosureType(const Scan &scan, Findings &out) {
    forEachEpisode(scan, [&](qsizetype number) {
        const QString type = scan.column(number, EpisodeColumn::Type).trimmed();
        if (type.isEmpty())
            out.add(Place::ofColumn(number, EpisodeColumn::Type),
                    u"The media file's type is missing, such as audio/mpeg."_qs);
        else if (!isMimeType(type))
            out.add(Place::ofColumn(number, EpisodeColumn::Type),
                    QStringLiteral("\"%1\" is not a media type such as audio/mpeg.").arg(type));
    });
}

QString bareType(const QString &type) {
    return type.section(u';', 0, 0).trimmed();
}

void enclosureTypeUnknown(const Scan &scan, Findings &out) {
    forEachEpisode(scan, [&](qsizetype number) {
        const QString type = bareType(scan.column(number, EpisodeColumn::Type));
        if (!type.contains(u'/') || isKnownType(type))
            return;
        QString message;
        if (type.startsWith(u"video/", Qt::CaseInsensitive))
            message = QStringLiteral("%1 is a video type the directories do not play; use "
                                     "video/mp4, video/x-m4v or video/quicktime.");
        else if (type.startsWith(u"audio/", Qt::CaseInsensitive))
            message = QStringLiteral("%1 is an audio type the directories do not play; use "
                                     "audio/mpeg, audio/x-m4a or audio/aac.");
        else
            message = QStringLiteral("%1 is not an audio or video type the directories play.");
        out.add(Place::ofColumn(number, EpisodeColumn::Type), message.arg(type));
    });
}

void enclosureTypeMismatch(const Scan &scan, Findings &out) {
    forEachEpisode(scan, [&](qsizetype number) {
        const QString type = bareType(scan.column(number, EpisodeColumn::Type));
        const QString extension = extensionOf(scan.column(number, EpisodeColumn::Url));
        const MediaType *media = mediaOf(extension);
        if (!media || !isKnownType(type))
            return;
        const bool agrees =
            std::any_of(media->types.begin(), media->types.end(), [&](const char *t) {
                return type.compare(QLatin1StringView(t), Qt::CaseInsensitive) == 0;
            });
        if (!agrees)
            out.add(Place::ofColumn(number, EpisodeColumn::Type),
                    QStringLiteral("The type %1 does not fit a .%2 file; use %3.")
                        .arg(type, extension, QString::fromLatin1(*media->types.begin())));
    });
}

bool guidIsPermaLink(const Scan &scan, qsizetype number) {
    // The first guid without text of its own carries the written guid's attributes.
    for (const XmlNode &node : scan.episode(number).elements(QString(), u"guid"_qs)) {
        if (!node.hasOwnText())
            return KeptContentReader::attribute(node, u"isPermaLink"_qs).trimmed() != u"false";
    }
    return true;
}

void guidDuplicate(const Scan &scan, Findings &out) {
    QHash<QString, qsizetype> seen;
    forEachEpisode(scan, [&](qsizetype number) {
        const QString guid = scan.column(number, EpisodeColumn::Guid).trimmed();
        if (guid.isEmpty())
            return;
        const auto found = seen.constFind(guid);
        if (found != seen.constEnd())
            out.add(Place::ofColumn(number, EpisodeColumn::Guid),
                    QStringLiteral("The GUID is the same as episode %1's.").arg(*found));
        else
            seen.insert(guid, number);
    });
}

void guidPermaLink(const Scan &scan, Findings &out) {
    forEachEpisode(scan, [&](qsizetype number) {
        const QString guid = scan.column(number, EpisodeColumn::Guid).trimmed();
        if (!guid.isEmpty() && !isHttpAddress(guid) && isUriReference(guid) &&
            guidIsPermaLink(scan, number))
            out.add(Place::ofColumn(number, EpisodeColumn::Guid),
                    QStringLiteral("The GUID \"%1\" is not an address, so it needs "
                                   "isPermaLink=\"false\".")
                        .arg(guid));
    });
}

void urlDuplicate(const Scan &scan, Findings &out) {
    QHash<QString, qsizetype> seen;
    forEachEpisode(scan, [&](qsizetype number) {
        const QString url = scan.column(number, EpisodeColumn::Url).trimmed();
        if (url.isEmpty())
            return;
        const auto found = seen.constFind(url);
        if (found != seen.constEnd())
            out.add(
                Place::ofColumn(number, EpisodeColumn::Url),
                QStringLiteral("The media file address is the same as episode %1's.").arg(*found));
        else
            seen.insert(url, number);
    });
}

void pubDateFormat(const Scan &scan, Findings &out) {
    forEachEpisode(scan, [&](qsizetype number) {
        const QString date = scan.column(number, EpisodeColumn::PubDate).trimmed();
        if (!date.isEmpty() && !hasRfc822Form(date))
            out.add(Place::ofColumn(number, EpisodeColumn::PubDate),
                    QStringLiteral("\"%1\" is not a date such as Mon, 05 Feb 2024 06:00:00 +0000.")
                        .arg(date));
    });
}

void pubDateExact(const Scan &scan, Findings &out) {
    forEachEpisode(scan, [&](qsizetype number) {
        const QString date = scan.column(number, EpisodeColumn::PubDate).trimmed();
        if (hasRfc822Form(date) && !parseRfc2822(date).isValid())
            out.add(Place::ofColumn(number, EpisodeColumn::PubDate),
                    QStringLiteral("\"%1\" is not a day that exists, has the wrong weekday or a "
                                   "two-digit year; write it as Mon, 05 Feb 2024 06:00:00 +0000.")
                        .arg(date));
    });
}

void pubDateFuture(const Scan &scan, Findings &out) {
    forEachEpisode(scan, [&](qsizetype number) {
        const QDateTime date = parseRfc2822(scan.column(number, EpisodeColumn::PubDate));
        if (date.isValid() && date > scan.now)
            out.add(Place::ofColumn(number, EpisodeColumn::PubDate),
                    u"The publication date lies in the future."_qs);
    });
}

void durationFormat(const Scan &scan, Findings &out) {
    forEachEpisode(scan, [&](qsizetype number) {
        const QString duration = scan.column(number, EpisodeColumn::Duration).trimmed();
        if (!duration.isEmpty() && !isDuration(duration))
            out.add(Place::ofColumn(number, EpisodeColumn::Duration),
                    QStringLiteral("The duration \"%1\" is not seconds, MM:SS or H:MM:SS.")
                        .arg(duration));
    });
}

void episodeExplicitValue(const Scan &scan, Findings &out) {
    forEachEpisode(scan, [&](qsizetype number) {
        const QString value = scan.column(number, EpisodeColumn::Explicit).trimmed();
        if (!value.isEmpty() && !isTrueFalse(value) && !isYesNoClean(value))
            out.add(Place::ofColumn(number, EpisodeColumn::Explicit),
                    QStringLiteral("The explicit value is \"%1\"; Apple takes true or false.")
                        .arg(value));
    });
}

void episodeExplicitLegacy(const Scan &scan, Findings &out) {
    forEachEpisode(scan, [&](qsizetype number) {
        const QString value = scan.column(number, EpisodeColumn::Explicit).trimmed();
        if (isYesNoClean(value))
            out.add(Place::ofColumn(number, EpisodeColumn::Explicit),
                    QStringLiteral("\"%1\" is an old explicit value; write %2.")
                        .arg(value, value.compare(u"yes", Qt::CaseInsensitive) == 0 ? u"true"_qs
                                                                                    : u"false"_qs));
    });
}

void episodeNumbers(const Scan &scan, Findings &out, const QString &local) {
    forEachEpisode(scan, [&](qsizetype number) {
        for (const XmlNode &node :
             scan.episode(number).elements(KeptContentReader::Itunes, local)) {
            if (!isPositiveWholeNumber(node.text()))
                out.add(Place::ofTag(u"itunes:"_qs + local, number),
                        QStringLiteral("itunes:%1 is \"%2\"; it takes a whole number from 1.")
                            .arg(local, node.text()));
        }
    });
}

void episodeNumber(const Scan &scan, Findings &out) {
    episodeNumbers(scan, out, u"episode"_qs);
}

void episodeSeason(const Scan &scan, Findings &out) {
    episodeNumbers(scan, out, u"season"_qs);
}

void episodeType(const Scan &scan, Findings &out) {
    forEachEpisode(scan, [&](qsizetype number) {
        for (const XmlNode &node :
             scan.episode(number).elements(KeptContentReader::Itunes, u"episodeType"_qs)) {
            const QString type = node.text();
            if (type != u"full" && type != u"trailer" && type != u"bonus")
                out.add(Place::ofTag(u"itunes:episodeType"_qs, number),
                        QStringLiteral("The episode type is \"%1\"; Apple takes full, trailer or "
                                       "bonus.")
                            .arg(type));
        }
    });
}

void serialNeedsNumber(const Scan &scan, Findings &out) {
    if (!scan.isSerial())
        return;
    forEachEpisode(scan, [&](qsizetype number) {
        if (scan.episode(number).first(KeptContentReader::Itunes, u"episode"_qs).isNull())
            out.add(Place::ofTag(u"itunes:episode"_qs, number),
                    u"The show is serial, so every episode needs itunes:episode."_qs);
    });
}

// Everywhere

void addressBlanks(const Scan &scan, Findings &out) {
    const auto report = [&](const Place &place, const QString &address) {
        if (hasOuterBlank(address))
            out.add(place, u"The address starts or ends with a blank."_qs);
    };
    report(Place::ofField(ChannelField::Link), scan.field(ChannelField::Link));
    report(Place::ofField(ChannelField::ImageLink), scan.field(ChannelField::ImageLink));
    forEachEpisode(scan, [&](qsizetype number) {
        report(Place::ofColumn(number, EpisodeColumn::Url),
               scan.column(number, EpisodeColumn::Url));
        const QString guid = scan.column(number, EpisodeColumn::Guid);
        if (isHttpAddress(guid))
            report(Place::ofColumn(number, EpisodeColumn::Guid), guid);
    });
    forEachKeptAddress(scan, report);
}

// <itunes:category>History</itunes:category>: Apple reads the attribute.
void valueAsText(const Scan &scan, Findings &out) {
    const std::shared_ptr<const FeedSource> &source = scan.document.source();
    if (!source)
        return;
    for (const int field : {int(ChannelField::Category), int(ChannelField::ImageLink)}) {
        const QString text = source->valueAsText(field);
        if (text.isNull() || !scan.field(field).isEmpty())
            continue;
        const FeedSchema::Place &place = FeedSchema::Channel[size_t(field)];
        out.add(
            Place::ofField(field),
            QStringLiteral("<%1> holds \"%2\" as text; Apple reads it from its %3 "
                           "attribute: type it in the box.")
                .arg(QLatin1StringView(place.element), text, QLatin1StringView(place.attribute)));
    }
}

void emptyElements(const Scan &scan, Findings &out) {
    const auto message = [](const char *element) {
        return QStringLiteral("<%1> is written empty; fill it in.").arg(QLatin1StringView(element));
    };
    // A loaded feed gets no element it did not have for an empty value.
    const auto written = [&](const QString &value, bool writesEmpty) {
        return value.trimmed().isEmpty() && (!value.isEmpty() || writesEmpty);
    };
    // Without an owner there is no e-mail to miss, unless the user typed blanks.
    const bool hasOwner = !scan.field(ChannelField::OwnerName).trimmed().isEmpty() ||
                          scan.document.source() != nullptr;
    if (written(scan.field(ChannelField::OwnerEmail),
                hasOwner &&
                    SourceFeedText::writesEmptyField(scan.document, ChannelField::OwnerEmail)))
        out.add(Place::ofField(ChannelField::OwnerEmail), message("itunes:email"));
    struct Column {
        int column;
        const char *element;
    };
    static constexpr Column columns[] = {{EpisodeColumn::Guid, "guid"},
                                         {EpisodeColumn::PubDate, "pubDate"},
                                         {EpisodeColumn::Duration, "itunes:duration"},
                                         {EpisodeColumn::Explicit, "itunes:explicit"}};
    forEachEpisode(scan, [&](qsizetype number) {
        for (const Column &column : columns) {
            if (written(scan.column(number, column.column),
                        SourceFeedText::writesEmptyColumn(scan.document, number, column.column)))
                out.add(Place::ofColumn(number, column.column), message(column.element));
        }
    });
}

// A rule kept in a file of its own, which sees the scan through FeedCheckInput.
template<void (*Rule)(const FeedCheckInput &)> void external(const Scan &scan, Findings &out) {
    Rule({scan.document,
          [&scan](qsizetype number, const QString &namespaceName, const QString &localName) {
              return number == 0 ? scan.channel->elements(namespaceName, localName)
                                 : scan.episode(number).elements(namespaceName, localName);
          },
          [&out](const Place &place, const QString &message) { out.add(place, message); }});
}

// The rules, each with its stable id, severity and source.
const Entry Rules[] = {
    {{"save-refused", Error, Source::Xml, "Every value can be saved as XML."},
     external<FeedCheckSaving::refusedValues>},
    {{"channel-title-missing", Error, Source::Rss2, "The podcast has a title."},
     channelTitleMissing},
    {{"channel-link-missing", Error, Source::Rss2, "The podcast has a link."}, channelLinkMissing},
    {{"channel-link-address", Error, Source::Rss2, "The link is a full address."},
     channelLinkAddress},
    {{"channel-language-missing", Error, Source::ApplePodcasts, "The podcast has a language."},
     channelLanguageMissing},
    {{"channel-language-code", Error, Source::Rss2,
      "The language is an ISO 639 code, optionally with a region."},
     channelLanguageCode},
    {{"channel-description-missing", Error, Source::ApplePodcasts,
      "The podcast has a description."},
     channelDescriptionMissing},
    {{"channel-category-missing", Error, Source::ApplePodcasts, "The podcast has a category."},
     channelCategoryMissing},
    {{"channel-category-unknown", Error, Source::AppleCategories,
      "Each category is one of Apple's, spelled exactly."},
     channelCategoryUnknown},
    {{"channel-category-retired", Warning, Source::AppleCategories,
      "No category comes from Apple's retired list."},
     channelCategoryRetired},
    {{"channel-subcategory-unknown", Error, Source::AppleCategories,
      "Each sub-category belongs to its category."},
     channelSubcategoryUnknown},
    {{"channel-owner-email", Error, Source::ApplePodcasts,
      "The owner e-mail is an e-mail address."},
     channelOwnerEmail},
    {{"channel-image-missing", Error, Source::ApplePodcasts, "The podcast has artwork."},
     channelImageMissing},
    {{"channel-value-as-text", Error, Source::ApplePodcasts,
      "The category and the artwork are attributes, not text."},
     valueAsText},
    {{"channel-image-address", Error, Source::ApplePodcasts,
      "The artwork address is a full http or https address."},
     channelImageAddress},
    {{"channel-image-extension", Warning, Source::ApplePodcasts,
      "The artwork address ends in .jpg, .jpeg or .png."},
     channelImageExtension},
    {{"channel-explicit-missing", Error, Source::ApplePodcasts,
      "The podcast has an itunes:explicit."},
     channelExplicitMissing},
    {{"channel-explicit-value", Error, Source::ApplePodcasts,
      "The podcast's itunes:explicit is true or false."},
     channelExplicitValue},
    {{"channel-type", Error, Source::ApplePodcasts, "itunes:type is episodic or serial."},
     channelType},
    {{"podcast-locked", Error, Source::PodcastIndex, "podcast:locked is yes or no."},
     podcastLocked},
    {{"podcast-guid", Error, Source::PodcastIndex, "podcast:guid is a UUID."}, podcastGuid},
    {{"podcast-url", Error, Source::PodcastIndex,
      "The url of podcast:funding, podcast:transcript and podcast:chapters is a full http or "
      "https address."},
     podcastUrl},
    {{"episode-title-missing", Error, Source::ApplePodcasts, "Every episode has a title."},
     episodeTitleMissing},
    {{"enclosure-missing", Error, Source::ApplePodcasts, "Every episode has a media file address."},
     enclosureMissing},
    {{"enclosure-url", Error, Source::ApplePodcasts,
      "The media file address is a full http or https address without blanks."},
     enclosureUrl},
    {{"enclosure-type", Error, Source::Rss2, "The media type is given and is a MIME type."},
     enclosureType},
    {{"enclosure-type-unknown", Warning, Source::ApplePodcasts,
      "The media type is an audio or video type the directories play."},
     enclosureTypeUnknown},
    {{"enclosure-type-mismatch", Warning, Source::ApplePodcasts,
      "The media type agrees with the file's extension."},
     enclosureTypeMismatch},
    {{"enclosure-length", Error, Source::Rss2, "The length is a whole number of bytes."},
     enclosureLength},
    {{"enclosure-length-zero", Error, Source::Rss2, "The length is not 0."}, enclosureLengthZero},
    {{"guid-duplicate", Error, Source::ApplePodcasts, "No two episodes share a GUID."},
     guidDuplicate},
    {{"guid-not-address", Error, Source::Rss2,
      "A GUID that cannot be an address has isPermaLink=\"false\"."},
     external<FeedCheckW3c::permalinkGuids>},
    {{"guid-permalink", Warning, Source::Rss2,
      "A GUID that is not an address has isPermaLink=\"false\"."},
     guidPermaLink},
    {{"enclosure-url-duplicate", Error, Source::ApplePodcasts,
      "No two episodes share a media file address."},
     urlDuplicate},
    {{"pubdate-format", Error, Source::Rss2,
      "The publication date is written as RFC 822 has it, with English names."},
     pubDateFormat},
    {{"pubdate-exact", Warning, Source::ApplePodcasts,
      "The publication date exists, with its weekday and a four-digit year."},
     pubDateExact},
    {{"pubdate-future", Warning, Source::ApplePodcasts,
      "The publication date does not lie in the future."},
     pubDateFuture},
    {{"duration-format", Error, Source::ApplePodcasts,
      "The duration is seconds, MM:SS or H:MM:SS."},
     durationFormat},
    {{"explicit-value", Error, Source::ApplePodcasts,
      "An episode's explicit value is true or false."},
     episodeExplicitValue},
    {{"explicit-legacy", Warning, Source::ApplePodcasts,
      "An episode's explicit value is not the old yes, no or clean."},
     episodeExplicitLegacy},
    {{"episode-number", Error, Source::ApplePodcasts, "itunes:episode is a whole number from 1."},
     episodeNumber},
    {{"episode-season", Error, Source::ApplePodcasts, "itunes:season is a whole number from 1."},
     episodeSeason},
    {{"episode-image-address", Error, Source::ApplePodcasts,
      "An episode's itunes:image is a full http or https address."},
     episodeImageAddress},
    {{"episode-type", Error, Source::ApplePodcasts,
      "itunes:episodeType is full, trailer or bonus."},
     episodeType},
    {{"serial-episode-number", Error, Source::ApplePodcasts,
      "In a serial show every episode has itunes:episode."},
     serialNeedsNumber},
    {{"address-blanks", Warning, Source::Rss2, "No address starts or ends with a blank."},
     addressBlanks},
    {{"contact-address", Error, Source::Rss2,
      "managingEditor, webMaster and an item's author are an e-mail address, optionally with "
      "a name in parentheses."},
     external<FeedCheckW3c::contacts>},
    {{"item-link", Error, Source::Rss2, "An episode's link is a full address."},
     external<FeedCheckW3c::itemLinks>},
    {{"tag-repeated", Error, Source::ApplePodcasts, "A tag that stands once is not repeated."},
     external<FeedCheckApple::repeatedTags>},
    {{"itunes-title", Warning, Source::ApplePodcasts, "An episode's itunes:title is its Title."},
     external<FeedCheckApple::itunesTitles>},
    {{"empty-element", Error, Source::ApplePodcasts,
      "No itunes:email, guid, pubDate, itunes:duration or itunes:explicit is written empty."},
     emptyElements},
};

} // namespace

namespace FeedCheck {
QString sourceName(Source source) {
    switch (source) {
    case Source::ApplePodcasts:
        return QStringLiteral("Apple Podcasts, A Podcaster's Guide to RSS");
    case Source::AppleCategories:
        return QStringLiteral("Apple Podcasts, A Podcaster's Guide to RSS, category list");
    case Source::PodcastIndex:
        return QStringLiteral("Podcast Index namespace documentation");
    case Source::Xml:
        return QStringLiteral("XML 1.0, well-formedness");
    case Source::Rss2:
        return QStringLiteral("RSS 2.0 rules of the RSS Advisory Board");
    }
    return {};
}

QList<Rule> rules() {
    QList<Rule> list;
    for (const Entry &entry : Rules)
        list.append(entry.rule);
    return list;
}

QList<FeedFinding> check(const PodcastDocument &document, const QDateTime &now) {
    const PrefixIndex prefixes(document.namespaces());
    Scan scan{document,
              now.toUTC(),
              std::make_unique<KeptContentReader>(document.channelExtra(),
                                                  prefixes.usedBy(document.channelExtra())),
              {}};
    scan.episodes.reserve(size_t(document.episodeCount()));
    for (const Episode &episode : document.episodes())
        scan.episodes.emplace_back(episode.extra, prefixes);

    QList<FeedFinding> findings;
    Findings out(findings);
    for (const Entry &entry : Rules) {
        out.setRule(entry.rule);
        entry.check(scan, out);
    }
    out.finishRule();
    // What a directory refuses comes before what it only advises, each in
    // feed order: five errors are not to be found below 800 warnings.
    std::stable_sort(findings.begin(), findings.end(),
                     [](const FeedFinding &a, const FeedFinding &b) {
                         if (a.severity != b.severity)
                             return a.severity == FeedFinding::Severity::Error;
                         return placeOrder(a, b);
                     });
    return findings;
}

qsizetype errorCount(const QList<FeedFinding> &findings) {
    qsizetype count = 0;
    for (const FeedFinding &finding : findings) {
        if (finding.severity == Severity::Error)
            count += 1 + finding.more;
    }
    return count;
}

qsizetype totalCount(const QList<FeedFinding> &findings) {
    qsizetype count = 0;
    for (const FeedFinding &finding : findings)
        count += 1 + finding.more;
    return count;
}
} // namespace FeedCheck
