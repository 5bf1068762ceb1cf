#include "FeedCheck.h"

#include "EpisodeKeptElements.h"
#include "FeedCheckApple.h"
#include "FeedCheckCategories.h"
#include "FeedCheckEpisodes.h"
#include "FeedCheckInput.h"
#include "FeedCheckSaving.h"
#include "FeedCheckValues.h"
#include "FeedCheckW3c.h"
#include "FeedFindings.h"
#include "FeedSchema.h"
#include "FeedSource.h"
#include "KeptContentReader.h"
#include "SourceFeedText.h"
#include "model/PodcastDocument.h"
#include "xml/PrefixIndex.h"
#include "xml/WorkProgress.h"

#include <QHash>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <tuple>
#include <vector>

using Severity = FeedFinding::Severity;
using Place = FeedFinding::Place;

namespace {
constexpr auto Error = Severity::Error;
constexpr auto Warning = Severity::Warning;
using FeedCheck::Source;

using namespace FeedCheckValues;

// One episode's kept content, read through what all episodes share.
class EpisodeContent {
public:
    EpisodeContent(const EpisodeKeptElements &kept, qsizetype index)
        : m_kept(kept)
        , m_index(index) {}

    QList<XmlNode> elements(const QString &namespaceName, const QString &localName) const {
        return m_kept.elements(m_index, namespaceName, localName);
    }
    XmlNode first(const QString &namespaceName, const QString &localName) const {
        const QList<XmlNode> found = elements(namespaceName, localName);
        return found.isEmpty() ? XmlNode() : found.first();
    }

private:
    const EpisodeKeptElements &m_kept;
    qsizetype m_index;
};

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

QString tagName(const KeptAddress &kept) {
    const QString prefix =
        kept.namespaceName == &KeptContentReader::Atom
            ? u"atom:"_qs
            : (kept.namespaceName == &KeptContentReader::Itunes ? u"itunes:"_qs : u"podcast:"_qs);
    return prefix + QLatin1StringView(kept.localName);
}

// What the rules look at, read once.
struct Scan {
    const PodcastDocument &document;
    QDateTime now;
    std::unique_ptr<KeptContentReader> channel;
    std::unique_ptr<EpisodeKeptElements> episodes;

    EpisodeContent episode(qsizetype number) const { return {*episodes, number - 1}; }
    QString field(int index) const { return document.field(index); }
    QString column(qsizetype number, int column) const { return document.episode(number)[column]; }
    // Every kept address, kind by kind and in feed order within a kind,
    // read once for all the rules that look at them.
    struct FoundAddress {
        const KeptAddress *kept;
        Place place;
        QString address;
    };
    const std::vector<FoundAddress> &keptAddresses() const {
        std::call_once(*m_addressesFound, [this] { m_keptAddresses = findKeptAddresses(); });
        return *m_keptAddresses;
    }
    bool isSerial() const {
        const XmlNode type = channel->first(KeptContentReader::Itunes, u"type"_qs);
        return !type.isNull() && type.text() == u"serial";
    }

    std::vector<FoundAddress> findKeptAddresses() const {
        std::vector<FoundAddress> found;
        for (const KeptAddress &kept : KeptAddresses) {
            const QString local = QLatin1StringView(kept.localName);
            const QString attribute = QLatin1StringView(kept.attribute);
            const QString tag = tagName(kept);
            const auto add = [&](const QList<XmlNode> &nodes, qsizetype number) {
                for (const XmlNode &node : nodes) {
                    for (const XmlAttribute &a : node.attributes()) {
                        if (a.baseName == attribute) {
                            found.push_back({&kept, Place::ofTag(tag, number), a.text});
                            break;
                        }
                    }
                }
            };
            if (!kept.episode) {
                add(channel->elements(*kept.namespaceName, local), 0);
                continue;
            }
            for (qsizetype number = 1; number <= document.episodeCount(); ++number) {
                const std::optional<QStringList> values = episodes->attributeValues(
                    number - 1, *kept.namespaceName, kept.localName, kept.attribute);
                if (!values) {
                    add(episode(number).elements(*kept.namespaceName, local), number);
                    continue;
                }
                for (const QString &value : *values)
                    found.push_back({&kept, Place::ofTag(tag, number), value});
            }
        }
        return found;
    }

    QDateTime publicationDate(qsizetype number) const {
        std::call_once(*m_datesRead, [this] {
            m_dates.reserve(size_t(document.episodeCount()));
            for (const Episode &episode : document.episodes())
                m_dates.push_back(parseRfc2822(episode[EpisodeColumn::PubDate]));
        });
        return m_dates[size_t(number - 1)];
    }

    // Filled on first use, by whichever rule's thread asks first.
    mutable std::optional<std::vector<FoundAddress>> m_keptAddresses = std::nullopt;
    mutable std::vector<QDateTime> m_dates = {};
    std::unique_ptr<std::once_flag> m_addressesFound = std::make_unique<std::once_flag>();
    std::unique_ptr<std::once_flag> m_datesRead = std::make_unique<std::once_flag>();
};

using CheckFunction = void (*)(const Scan &, FeedFindings &);

struct Entry {
    FeedCheck::Rule rule;
    CheckFunction check;
};

template<typename Function> void forEachEpisode(const Scan &scan, Function function) {
    for (qsizetype number = 1; number <= scan.document.episodeCount(); ++number)
        function(number);
}

void requireField(const Scan &scan, FeedFindings &out, int index, const QString &message) {
    if (scan.field(index).trimmed().isEmpty())
        out.add(Place::ofField(index), message);
}

using KeptFilter = bool (*)(const KeptAddress &);

template<typename Function>
void forEachKeptAddress(
    const Scan &scan, Function function,
    KeptFilter filter = [](const KeptAddress &) { return true; }) {
    for (const Scan::FoundAddress &found : scan.keptAddresses()) {
        if (filter(*found.kept))
            function(found.place, found.address);
    }
}

// Channel

void channelTitleMissing(const Scan &scan, FeedFindings &out) {
    requireField(scan, out, ChannelField::Title, u"The podcast has no title."_qs);
}

void channelDescriptionMissing(const Scan &scan, FeedFindings &out) {
    requireField(scan, out, ChannelField::Description, u"The podcast has no description."_qs);
}

void channelLanguageMissing(const Scan &scan, FeedFindings &out) {
    requireField(scan, out, ChannelField::Language,
                 u"The podcast has no language; use a code such as en or en-gb."_qs);
}

void channelLanguageCode(const Scan &scan, FeedFindings &out) {
    const QString language = scan.field(ChannelField::Language).trimmed();
    if (!language.isEmpty() && !isIsoLanguage(language))
        out.add(Place::ofField(ChannelField::Language),
                QStringLiteral("\"%1\" is not an ISO 639 language code such as en or en-gb.")
                    .arg(language));
}

void channelLinkMissing(const Scan &scan, FeedFindings &out) {
    requireField(scan, out, ChannelField::Link, u"The podcast has no link to its website."_qs);
}

void channelLinkAddress(const Scan &scan, FeedFindings &out) {
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

void channelImageMissing(const Scan &scan, FeedFindings &out) {
    requireField(scan, out, ChannelField::ImageLink,
                 u"The podcast has no artwork address; Apple requires one."_qs);
}

void channelImageAddress(const Scan &scan, FeedFindings &out) {
    const QString image = scan.field(ChannelField::ImageLink);
    if (!image.trimmed().isEmpty() && !isHttpAddress(image))
        out.add(Place::ofField(ChannelField::ImageLink), addressProblem(image));
}

void channelImageExtension(const Scan &scan, FeedFindings &out) {
    const QString image = scan.field(ChannelField::ImageLink);
    if (!isHttpAddress(image))
        return;
    const QString extension = extensionOf(image);
    if (extension != u"jpg" && extension != u"jpeg" && extension != u"png")
        out.add(Place::ofField(ChannelField::ImageLink),
                u"The artwork address does not end in .jpg, .jpeg or .png."_qs);
}

void channelExplicitMissing(const Scan &scan, FeedFindings &out) {
    if (scan.channel->first(KeptContentReader::Itunes, u"explicit"_qs).isNull())
        out.add(Place::ofTag(u"itunes:explicit"_qs),
                u"The podcast has no itunes:explicit; Apple requires true or false."_qs);
}

void channelExplicitValue(const Scan &scan, FeedFindings &out) {
    const XmlNode node = scan.channel->first(KeptContentReader::Itunes, u"explicit"_qs);
    if (!node.isNull() && !isTrueFalse(node.text()))
        out.add(Place::ofTag(u"itunes:explicit"_qs),
                QStringLiteral("The podcast's explicit value is \"%1\"; Apple takes true or false.")
                    .arg(node.text()));
}

void channelOwnerEmail(const Scan &scan, FeedFindings &out) {
    const QString email = scan.field(ChannelField::OwnerEmail).trimmed();
    if (!email.isEmpty() && !isEmailAddress(email))
        out.add(Place::ofField(ChannelField::OwnerEmail),
                QStringLiteral("\"%1\" is not an e-mail address.").arg(email));
}

void channelType(const Scan &scan, FeedFindings &out) {
    const XmlNode node = scan.channel->first(KeptContentReader::Itunes, u"type"_qs);
    if (!node.isNull() && node.text() != u"episodic" && node.text() != u"serial")
        out.add(Place::ofTag(u"itunes:type"_qs),
                QStringLiteral("The show type is \"%1\"; Apple takes episodic or serial.")
                    .arg(node.text()));
}

void podcastLocked(const Scan &scan, FeedFindings &out) {
    for (const XmlNode &node :
         scan.channel->elements(KeptContentReader::PodcastIndex, u"locked"_qs)) {
        if (node.text() != u"yes" && node.text() != u"no")
            out.add(
                Place::ofTag(u"podcast:locked"_qs),
                QStringLiteral("podcast:locked is \"%1\"; it takes yes or no.").arg(node.text()));
    }
}

void podcastGuid(const Scan &scan, FeedFindings &out) {
    for (const XmlNode &node :
         scan.channel->elements(KeptContentReader::PodcastIndex, u"guid"_qs)) {
        if (!isUuid(node.text()))
            out.add(Place::ofTag(u"podcast:guid"_qs),
                    QStringLiteral("podcast:guid \"%1\" is not a UUID.").arg(node.text()));
    }
}

void reportKeptAddresses(const Scan &scan, FeedFindings &out, KeptFilter filter) {
    forEachKeptAddress(
        scan,
        [&](const Place &place, const QString &address) {
            if (!isHttpAddress(address))
                out.add(place, addressProblem(address));
        },
        filter);
}

void podcastUrl(const Scan &scan, FeedFindings &out) {
    reportKeptAddresses(scan, out, [](const KeptAddress &kept) {
        return kept.namespaceName == &KeptContentReader::PodcastIndex;
    });
}

void episodeImageAddress(const Scan &scan, FeedFindings &out) {
    reportKeptAddresses(scan, out, [](const KeptAddress &kept) {
        return kept.namespaceName == &KeptContentReader::Itunes;
    });
}

// Everywhere

void addressBlanks(const Scan &scan, FeedFindings &out) {
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
void valueAsText(const Scan &scan, FeedFindings &out) {
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

void emptyElements(const Scan &scan, FeedFindings &out) {
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
            // Whether the file had the element is asked only of an empty value.
            const QString value = scan.column(number, column.column);
            if (value.trimmed().isEmpty() &&
                (!value.isEmpty() ||
                 SourceFeedText::writesEmptyColumn(scan.document, number, column.column)))
                out.add(Place::ofColumn(number, column.column), message(column.element));
        }
    });
}

// A rule kept in a file of its own, which sees the scan through FeedCheckInput.
template<void (*Rule)(const FeedCheckInput &)> void external(const Scan &scan, FeedFindings &out) {
    Rule({scan.document,
          [&scan](qsizetype number, const QString &namespaceName, const QString &localName) {
              return number == 0 ? scan.channel->elements(namespaceName, localName)
                                 : scan.episode(number).elements(namespaceName, localName);
          },
          [&out](const Place &place, const QString &message) { out.add(place, message); }, scan.now,
          [&scan](qsizetype number) { return scan.publicationDate(number); },
          [&scan](qsizetype number, QByteArrayView localName) {
              return scan.episodes->keepsTwice(number - 1, localName);
          },
          [&scan](const XmlNode &parent, const QString &namespaceName, const QString &localName) {
              return scan.channel->children(parent, namespaceName, localName);
          }});
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
     external<FeedCheckCategories::channelCategoryMissing>},
    {{"channel-category-unknown", Error, Source::AppleCategories,
      "Each category is one of Apple's, spelled exactly."},
     external<FeedCheckCategories::channelCategoryUnknown>},
    {{"channel-category-retired", Warning, Source::AppleCategories,
      "No category comes from Apple's retired list."},
     external<FeedCheckCategories::channelCategoryRetired>},
    {{"channel-subcategory-unknown", Error, Source::AppleCategories,
      "Each sub-category belongs to its category."},
     external<FeedCheckCategories::channelSubcategoryUnknown>},
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
     external<FeedCheckEpisodes::episodeTitleMissing>},
    {{"enclosure-missing", Error, Source::ApplePodcasts, "Every episode has a media file address."},
     external<FeedCheckEpisodes::enclosureMissing>},
    {{"enclosure-url", Error, Source::ApplePodcasts,
      "The media file address is a full http or https address without blanks."},
     external<FeedCheckEpisodes::enclosureUrl>},
    {{"enclosure-type", Error, Source::Rss2, "The media type is given and is a MIME type."},
     external<FeedCheckEpisodes::enclosureType>},
    {{"enclosure-type-unknown", Warning, Source::ApplePodcasts,
      "The media type is an audio or video type the directories play."},
     external<FeedCheckEpisodes::enclosureTypeUnknown>},
    {{"enclosure-type-mismatch", Warning, Source::ApplePodcasts,
      "The media type agrees with the file's extension."},
     external<FeedCheckEpisodes::enclosureTypeMismatch>},
    {{"enclosure-length", Error, Source::Rss2, "The length is a whole number of bytes."},
     external<FeedCheckEpisodes::enclosureLength>},
    {{"enclosure-length-zero", Error, Source::Rss2, "The length is not 0."},
     external<FeedCheckEpisodes::enclosureLengthZero>},
    {{"guid-duplicate", Error, Source::ApplePodcasts, "No two episodes share a GUID."},
     external<FeedCheckEpisodes::guidDuplicate>},
    {{"guid-not-address", Error, Source::Rss2,
      "A GUID that cannot be an address has isPermaLink=\"false\"."},
     external<FeedCheckW3c::permalinkGuids>},
    {{"guid-permalink", Warning, Source::Rss2,
      "A GUID that is not an address has isPermaLink=\"false\"."},
     external<FeedCheckEpisodes::guidPermaLink>},
    {{"enclosure-url-duplicate", Error, Source::ApplePodcasts,
      "No two episodes share a media file address."},
     external<FeedCheckEpisodes::urlDuplicate>},
    {{"pubdate-format", Error, Source::Rss2,
      "The publication date is written as RFC 822 has it, with English names."},
     external<FeedCheckEpisodes::pubDateFormat>},
    {{"pubdate-exact", Warning, Source::ApplePodcasts,
      "The publication date exists, with its weekday and a four-digit year."},
     external<FeedCheckEpisodes::pubDateExact>},
    {{"pubdate-future", Warning, Source::ApplePodcasts,
      "The publication date does not lie in the future."},
     external<FeedCheckEpisodes::pubDateFuture>},
    {{"duration-format", Error, Source::ApplePodcasts,
      "The duration is seconds, MM:SS or H:MM:SS."},
     external<FeedCheckEpisodes::durationFormat>},
    {{"explicit-value", Error, Source::ApplePodcasts,
      "An episode's explicit value is true or false."},
     external<FeedCheckEpisodes::episodeExplicitValue>},
    {{"explicit-legacy", Warning, Source::ApplePodcasts,
      "An episode's explicit value is not the old yes, no or clean."},
     external<FeedCheckEpisodes::episodeExplicitLegacy>},
    {{"episode-number", Error, Source::ApplePodcasts, "itunes:episode is a whole number from 1."},
     external<FeedCheckEpisodes::episodeNumber>},
    {{"episode-season", Error, Source::ApplePodcasts, "itunes:season is a whole number from 1."},
     external<FeedCheckEpisodes::episodeSeason>},
    {{"episode-image-address", Error, Source::ApplePodcasts,
      "An episode's itunes:image is a full http or https address."},
     episodeImageAddress},
    {{"episode-type", Error, Source::ApplePodcasts,
      "itunes:episodeType is full, trailer or bonus."},
     external<FeedCheckEpisodes::episodeType>},
    {{"serial-episode-number", Error, Source::ApplePodcasts,
      "In a serial show every episode has itunes:episode."},
     external<FeedCheckEpisodes::serialNeedsNumber>},
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
    Scan scan{document, now.toUTC(),
              std::make_unique<KeptContentReader>(document.channelExtra(),
                                                  prefixes.usedBy(document.channelExtra())),
              std::make_unique<EpisodeKeptElements>(document)};

    // The rules are independent: two threads take them in turn, each rule's
    // findings kept apart, then joined in the rules' order.
    constexpr size_t RuleCount = std::size(Rules);
    std::vector<QList<FeedFinding>> byRule(RuleCount);
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t i = next++; i < RuleCount; i = next++) {
            FeedFindings out(byRule[i]);
            out.setRule(Rules[i].rule);
            Rules[i].check(scan, out);
            out.finishRule();
        }
    };
    WorkProgress *const progress = WorkProgress::current();
    std::exception_ptr failure;
    std::thread helper([&] {
        std::optional<WorkProgress::Scope> scope;
        if (progress)
            scope.emplace(*progress);
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
            next = RuleCount; // the other thread stops too
        }
    });
    try {
        work();
    } catch (...) {
        next = RuleCount;
        helper.join();
        throw;
    }
    helper.join();
    if (failure)
        std::rethrow_exception(failure);
    QList<FeedFinding> findings;
    for (QList<FeedFinding> &found : byRule)
        findings.append(std::move(found));
    // What a directory refuses comes before what it only advises, each in
    // feed order: five errors are not to be found below 800 warnings.
    std::stable_sort(findings.begin(), findings.end(),
                     [](const FeedFinding &a, const FeedFinding &b) {
                         if (a.severity != b.severity)
                             return a.severity == FeedFinding::Severity::Error;
                         return FeedFindingOrder::placeOrder(a, b);
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
