#include "FeedCheck.h"

#include "EpisodeKeptElements.h"
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

// Apple's categories and their sub-categories, spelled as Apple spells them.
struct Category {
    const char *name;
    std::initializer_list<const char *> subcategories;
};
const std::initializer_list<Category> Categories{
    {"Arts", {"Books", "Design", "Fashion & Beauty", "Food", "Performing Arts", "Visual Arts"}},
    {"Business",
     {"Careers", "Entrepreneurship", "Investing", "Management", "Marketing", "Non-Profit"}},
    {"Comedy", {"Comedy Interviews", "Improv", "Stand-Up"}},
    {"Education", {"Courses", "How To", "Language Learning", "Self-Improvement"}},
    {"Fiction", {"Comedy Fiction", "Drama", "Science Fiction"}},
    {"Government", {}},
    {"History", {}},
    {"Health & Fitness",
     {"Alternative Health", "Fitness", "Medicine", "Mental Health", "Nutrition", "Sexuality"}},
    {"Kids & Family", {"Education for Kids", "Parenting", "Pets & Animals", "Stories for Kids"}},
    {"Leisure",
     {"Animation & Manga", "Automotive", "Aviation", "Crafts", "Games", "Hobbies", "Home & Garden",
      "Video Games"}},
    {"Music", {"Music Commentary", "Music History", "Music Interviews"}},
    {"News",
     {"Business News", "Daily News", "Entertainment News", "News Commentary", "Politics",
      "Sports News", "Tech News"}},
    {"Religion & Spirituality",
     {"Buddhism", "Christianity", "Hinduism", "Islam", "Judaism", "Religion", "Spirituality"}},
    {"Science",
     {"Astronomy", "Chemistry", "Earth Sciences", "Life Sciences", "Mathematics",
      "Natural Sciences", "Nature", "Physics", "Social Sciences"}},
    {"Society & Culture",
     {"Documentary", "Personal Journals", "Philosophy", "Places & Travel", "Relationships"}},
    {"Sports",
     {"Baseball", "Basketball", "Cricket", "Fantasy Sports", "Football", "Golf", "Hockey", "Rugby",
      "Running", "Soccer", "Swimming", "Tennis", "Volleyball", "Wilderness", "Wrestling"}},
    {"Technology", {}},
    {"True Crime", {}},
    {"TV & Film", {"After Shows", "Film History", "Film Interviews", "Film Reviews", "TV Reviews"}},
};

// Names from Apple's lists before 2019: still met in feeds, no longer listed.
const std::initializer_list<const char *> RetiredCategories{"Arts & Entertainment",
                                                            "Audio Blogs",
                                                            "Family",
                                                            "Food",
                                                            "Games & Hobbies",
                                                            "Government & Organizations",
                                                            "Health",
                                                            "International",
                                                            "Movies & Television",
                                                            "News & Politics",
                                                            "Politics",
                                                            "Public Radio",
                                                            "Science & Medicine",
                                                            "Sports & Recreation",
                                                            "Talk Radio",
                                                            "Transportation",
                                                            "Travel"};
const std::initializer_list<const char *> RetiredSubcategories{"Literature",
                                                               "Architecture",
                                                               "Design",
                                                               "Entertainment",
                                                               "Games",
                                                               "Performing Arts",
                                                               "Photography",
                                                               "Poetry",
                                                               "Science Fiction",
                                                               "Careers",
                                                               "Finance",
                                                               "Investing",
                                                               "Management & Marketing",
                                                               "News",
                                                               "Shopping",
                                                               "Education Technology",
                                                               "Higher Education",
                                                               "K-12",
                                                               "Language Courses",
                                                               "Training",
                                                               "Automotive",
                                                               "Aviation",
                                                               "Hobbies",
                                                               "Other Games",
                                                               "Video Games",
                                                               "Local",
                                                               "National",
                                                               "Non-Profit",
                                                               "Regional",
                                                               "Alternative Health",
                                                               "Diet & Nutrition",
                                                               "Fitness",
                                                               "Fitness & Nutrition",
                                                               "Relationships",
                                                               "Self-Help",
                                                               "Sexuality",
                                                               "Buddhism",
                                                               "Christianity",
                                                               "Islam",
                                                               "Judaism",
                                                               "New Age",
                                                               "Philosophy",
                                                               "Other",
                                                               "Spirituality",
                                                               "Medicine",
                                                               "Natural Sciences",
                                                               "Social Sciences",
                                                               "History",
                                                               "Amateur",
                                                               "College & High School",
                                                               "Outdoor",
                                                               "Professional",
                                                               "Computers",
                                                               "Developers",
                                                               "Gadgets",
                                                               "Information Technology",
                                                               "Operating Systems",
                                                               "Podcasting",
                                                               "Smart Phones",
                                                               "Software How-To",
                                                               "Tech News",
                                                               "Text/Speech",
                                                               "Bicycles",
                                                               "Commuting",
                                                               "Australian",
                                                               "Belgian",
                                                               "Brazilian",
                                                               "Canadian",
                                                               "Chinese",
                                                               "Dutch",
                                                               "French",
                                                               "German",
                                                               "Hebrew",
                                                               "Italian",
                                                               "Japanese",
                                                               "Norwegian",
                                                               "Polish",
                                                               "Portuguese",
                                                               "Spanish",
                                                               "Swedish"};

bool listed(const std::initializer_list<const char *> &list, const QString &name) {
    return std::any_of(list.begin(), list.end(),
                       [&](const char *entry) { return name == QLatin1StringView(entry); });
}

const Category *findCategory(const QString &name) {
    for (const Category &category : Categories) {
        if (name == QLatin1StringView(category.name))
            return &category;
    }
    return nullptr;
}

// The category whose sub-category this is, or none.
const Category *parentOf(const QString &name) {
    for (const Category &category : Categories) {
        for (const char *sub : category.subcategories) {
            if (name == QLatin1StringView(sub))
                return &category;
        }
    }
    return nullptr;
}

bool isRetired(const QString &name) {
    return listed(RetiredCategories, name);
}

bool isRetiredSubcategory(const QString &name) {
    return listed(RetiredSubcategories, name);
}

bool isSubcategoryOf(const Category &category, const QString &name) {
    return listed(category.subcategories, name);
}

// Names as they have to stand in an attribute the editor writes unescaped.
QString written(const QString &name) {
    return QString(name).replace(u'&', QStringLiteral("&amp;"));
}

// The field holds the text as written into the file, references included.
QString unescaped(const QString &text) {
    QString plain = text;
    plain.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&apos;"), QStringLiteral("'"))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return plain;
}

// Audio and video files the directories play, by extension, with the types
// that agree with each.
struct MediaType {
    const char *extension;
    std::initializer_list<const char *> types;
};
const std::initializer_list<MediaType> MediaTypes{
    {"mp3", {"audio/mpeg", "audio/mp3"}},
    {"m4a", {"audio/x-m4a", "audio/mp4", "audio/m4a", "audio/aac"}},
    {"aac", {"audio/aac", "audio/x-aac"}},
    {"mp4", {"video/mp4", "audio/mp4"}},
    {"m4v", {"video/x-m4v", "video/mp4"}},
    {"mov", {"video/quicktime"}},
    {"ogg", {"audio/ogg", "video/ogg"}},
    {"oga", {"audio/ogg"}},
    {"opus", {"audio/opus", "audio/ogg"}},
    {"wav", {"audio/wav", "audio/x-wav", "audio/wave"}},
    {"flac", {"audio/flac", "audio/x-flac"}},
    {"webm", {"audio/webm", "video/webm"}},
    {"pdf", {"application/pdf"}},
    {"epub", {"application/epub+zip"}},
};

bool isKnownType(const QString &type) {
    for (const MediaType &media : MediaTypes) {
        for (const char *known : media.types) {
            if (type.compare(QLatin1StringView(known), Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return false;
}

const MediaType *mediaOf(const QString &extension) {
    for (const MediaType &media : MediaTypes) {
        if (extension.compare(QLatin1StringView(media.extension), Qt::CaseInsensitive) == 0)
            return &media;
    }
    return nullptr;
}

bool hasInnerBlank(const QString &text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

bool hasOuterBlank(const QString &text) {
    return !text.isEmpty() && (text.front().isSpace() || text.back().isSpace());
}

// An absolute http or https address with a host and nothing blank inside.
bool isHttpAddress(const QString &text) {
    const QString address = text.trimmed();
    if (address.isEmpty() || hasInnerBlank(address))
        return false;
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

// The last path segment's extension, without query or fragment.
QString extensionOf(const QString &address) {
    const QUrl url(address.trimmed());
    const QString path = url.isValid() ? url.path() : address;
    const QString name = path.section(u'/', -1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

bool isPositiveWholeNumber(const QString &text) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    if (!digits.match(text).hasMatch())
        return false;
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c != u'0'; });
}

bool isTrueFalse(const QString &text) {
    return text.compare(u"true", Qt::CaseInsensitive) == 0 ||
           text.compare(u"false", Qt::CaseInsensitive) == 0;
}

bool isYesNoClean(const QString &text) {
    return text.compare(u"yes", Qt::CaseInsensitive) == 0 ||
           text.compare(u"no", Qt::CaseInsensitive) == 0 ||
           text.compare(u"clean", Qt::CaseInsensitive) == 0;
}

// An ISO 639 language, optionally with BCP 47 subtags ("en", "en-gb", "pt-BR").
bool isLanguageCode(const QString &text) {
    static const QRegularExpression code(QStringLiteral("^[A-Za-z]{2,3}(-[A-Za-z0-9]{1,8})*$"));
    return code.match(text).hasMatch();
}

bool isEmailAddress(const QString &text) {
    static const QRegularExpression address(
        QStringLiteral("^[A-Za-z0-9!#$%&'*+/=?^_`{|}~.-]+@[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?"
                       "(?:\\.[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?)+$"));
    const QString plain = unescaped(text);
    return address.match(plain).hasMatch() && !plain.contains(QStringLiteral("..")) &&
           !plain.startsWith(u'.') && !plain.section(u'@', 0, 0).endsWith(u'.');
}

// Seconds, MM:SS or H:MM:SS.
bool isDuration(const QString &text) {
    static const QRegularExpression duration(
        QStringLiteral("^([0-9]+|[0-9]+:[0-5][0-9]|[0-9]+:[0-5][0-9]:[0-5][0-9])$"));
    return duration.match(text).hasMatch();
}

bool isUuid(const QString &text) {
    static const QRegularExpression uuid(QStringLiteral(
        "^[0-9a-fA-F]{8}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{12}$"));
    return uuid.match(text).hasMatch();
}

// An RFC 2822 date and time with English day and month names; null when the
// text is not one (a wrong weekday included).
QDateTime parseRfc2822(const QString &text) {
    static const QRegularExpression pattern(
        QStringLiteral("^(?:(Mon|Tue|Wed|Thu|Fri|Sat|Sun),\\s*)?([0-9]{1,2})\\s+"
                       "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)\\s+([0-9]{4})\\s+"
                       "([0-9]{2}):([0-9]{2})(?::([0-9]{2}))?\\s+"
                       "([+-][0-9]{4}|UT|GMT|Z|EST|EDT|CST|CDT|MST|MDT|PST|PDT)$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch())
        return {};
    static const QStringList months{u"Jan"_qs, u"Feb"_qs, u"Mar"_qs, u"Apr"_qs,
                                    u"May"_qs, u"Jun"_qs, u"Jul"_qs, u"Aug"_qs,
                                    u"Sep"_qs, u"Oct"_qs, u"Nov"_qs, u"Dec"_qs};
    static const QStringList days{u"Mon"_qs, u"Tue"_qs, u"Wed"_qs, u"Thu"_qs,
                                  u"Fri"_qs, u"Sat"_qs, u"Sun"_qs};
    const QDate date(match.captured(4).toInt(), int(months.indexOf(match.captured(3))) + 1,
                     match.captured(2).toInt());
    const int hour = match.captured(5).toInt();
    const int minute = match.captured(6).toInt();
    const int second = match.captured(7).isEmpty() ? 0 : match.captured(7).toInt();
    if (!date.isValid() || hour > 23 || minute > 59 || second > 60)
        return {};
    if (!match.captured(1).isEmpty() && days.indexOf(match.captured(1)) + 1 != date.dayOfWeek())
        return {};

    const QString zone = match.captured(8);
    int offsetMinutes = 0;
    if (zone.startsWith(u'+') || zone.startsWith(u'-')) {
        const int hours = zone.mid(1, 2).toInt();
        const int minutes = zone.mid(3, 2).toInt();
        if (minutes > 59)
            return {};
        offsetMinutes = (zone.startsWith(u'-') ? -1 : 1) * (hours * 60 + minutes);
    } else {
        static const QHash<QString, int> named{{u"EST"_qs, -5}, {u"EDT"_qs, -4}, {u"CST"_qs, -6},
                                               {u"CDT"_qs, -5}, {u"MST"_qs, -7}, {u"MDT"_qs, -6},
                                               {u"PST"_qs, -8}, {u"PDT"_qs, -7}};
        offsetMinutes = named.value(zone, 0) * 60;
    }
    const QDateTime local(date, QTime(hour, minute, std::min(second, 59)), Qt::OffsetFromUTC,
                          offsetMinutes * 60);
    return local.toUTC();
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

// What the rules look at, read once.
struct Scan {
    const PodcastDocument &document;
    QDateTime now;
    std::unique_ptr<KeptContentReader> channel;
    std::unique_ptr<EpisodeKeptElements> episodes;

    EpisodeContent episode(qsizetype number) const { return {*episodes, number - 1}; }
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
    if (!language.isEmpty() && !isLanguageCode(language))
        out.add(Place::ofField(ChannelField::Language),
                QStringLiteral("\"%1\" is not a language code such as en or en-gb.").arg(language));
}

void channelLinkMissing(const Scan &scan, Findings &out) {
    requireField(scan, out, ChannelField::Link, u"The podcast has no link to its website."_qs);
}

void channelLinkAddress(const Scan &scan, Findings &out) {
    const QString link = scan.field(ChannelField::Link);
    if (!link.trimmed().isEmpty() && !isHttpAddress(link))
        out.add(Place::ofField(ChannelField::Link),
                QStringLiteral("\"%1\" is not a full http or https address.").arg(link.trimmed()));
}

void channelImageMissing(const Scan &scan, Findings &out) {
    requireField(scan, out, ChannelField::ImageLink,
                 u"The podcast has no artwork address; Apple requires one."_qs);
}

void channelImageAddress(const Scan &scan, Findings &out) {
    const QString image = scan.field(ChannelField::ImageLink);
    if (!image.trimmed().isEmpty() && !isHttpAddress(image))
        out.add(Place::ofField(ChannelField::ImageLink),
                QStringLiteral("\"%1\" is not a full http or https address.").arg(image.trimmed()));
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
                out.add(place,
                        QStringLiteral("The address \"%1\" is not a full http or https address.")
                            .arg(address.trimmed()));
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
        out.add(Place::ofColumn(number, EpisodeColumn::Url),
                hasInnerBlank(url)
                    ? u"The media file address has blanks in it; write them as %20."_qs
                    : QStringLiteral("\"%1\" is not a full http or https address.").arg(url));
    });
}

void enclosureLength(const Scan &scan, Findings &out) {
    forEachEpisode(scan, [&](qsizetype number) {
        const QString length = scan.column(number, EpisodeColumn::Length).trimmed();
        static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
        if (length.isEmpty())
            out.add(Place::ofColumn(number, EpisodeColumn::Length),
                    u"The media file's length in bytes is missing."_qs);
        else if (!digits.match(length).hasMatch())
            out.add(
                Place::ofColumn(number, EpisodeColumn::Length),
                QStringLiteral("The length \"%1\" is not a whole number of bytes.").arg(length));
    });
}

void enclosureLengthZero(const Scan &scan, Findings &out) {
    static const QRegularExpression zeros(QStringLiteral("^0+$"));
    forEachEpisode(scan, [&](qsizetype number) {
        if (zeros.match(scan.column(number, EpisodeColumn::Length).trimmed()).hasMatch())
            out.add(Place::ofColumn(number, EpisodeColumn::Length),
                    u"The length is 0; give the file's size in bytes."_qs);
    });
}

void enclosureType(const Scan &scan, Findings &out) {
    static const QRegularExpression mime(
        QStringLiteral("^[A-Za-z0-9!#$&^_.+-]+/[A-Za-z0-9!#$&^_.+-]+(\\s*;.*)?$"));
    forEachEpisode(scan, [&](qsizetype number) {
        const QString type = scan.column(number, EpisodeColumn::Type).trimmed();
        if (type.isEmpty())
            out.add(Place::ofColumn(number, EpisodeColumn::Type),
                    u"The media file's type is missing, such as audio/mpeg."_qs);
        else if (!mime.match(type).hasMatch())
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
        if (type.contains(u'/') && !isKnownType(type))
            out.add(Place::ofColumn(number, EpisodeColumn::Type),
                    QStringLiteral("\"%1\" is not an audio or video type the directories play.")
                        .arg(type));
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
        if (!guid.isEmpty() && !isHttpAddress(guid) && guidIsPermaLink(scan, number))
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
        if (!date.isEmpty() && !parseRfc2822(date).isValid())
            out.add(Place::ofColumn(number, EpisodeColumn::PubDate),
                    QStringLiteral("\"%1\" is not a date such as Mon, 05 Feb 2024 06:00:00 +0000.")
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
    if (written(scan.field(ChannelField::OwnerEmail),
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

// The rules, each with its stable id, severity and source.
const Entry Rules[] = {
    {{"channel-title-missing", Error, Source::Rss2, "The podcast has a title."},
     channelTitleMissing},
    {{"channel-link-missing", Error, Source::Rss2, "The podcast has a link."}, channelLinkMissing},
    {{"channel-link-address", Error, Source::Rss2, "The link is a full http or https address."},
     channelLinkAddress},
    {{"channel-language-missing", Error, Source::ApplePodcasts, "The podcast has a language."},
     channelLanguageMissing},
    {{"channel-language-code", Error, Source::ApplePodcasts,
      "The language is an ISO 639 or BCP 47 code."},
     channelLanguageCode},
    {{"channel-description-missing", Error, Source::Rss2, "The podcast has a description."},
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
    {{"enclosure-length-zero", Warning, Source::ApplePodcasts, "The length is not 0."},
     enclosureLengthZero},
    {{"guid-duplicate", Error, Source::ApplePodcasts, "No two episodes share a GUID."},
     guidDuplicate},
    {{"guid-permalink", Warning, Source::Rss2,
      "A GUID that is not an address has isPermaLink=\"false\"."},
     guidPermaLink},
    {{"enclosure-url-duplicate", Error, Source::ApplePodcasts,
      "No two episodes share a media file address."},
     urlDuplicate},
    {{"pubdate-format", Error, Source::Rss2,
      "The publication date is an RFC 2822 date with English names."},
     pubDateFormat},
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
