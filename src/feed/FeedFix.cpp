#include "FeedFix.h"

#include "FeedCheckValues.h"
#include "FeedFault.h"
#include "KeptContent.h"
#include "MediaEpisode.h"
#include "model/PodcastDocument.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

using Place = FeedFinding::Place;

namespace FeedFix {
namespace {
const QString ExplicitLegacy = QStringLiteral("explicit-legacy");
const QString ChannelExplicitValue = QStringLiteral("channel-explicit-value");
const QString ChannelExplicitMissing = QStringLiteral("channel-explicit-missing");
const QString SaveRefused = QStringLiteral("save-refused");
const QString ItunesTitle = QStringLiteral("itunes-title");
const QString LengthRule = QStringLiteral("enclosure-length");
const QString LengthZero = QStringLiteral("enclosure-length-zero");
const QString DurationRule = QStringLiteral("duration-format");

bool isMediaRule(const QString &rule) {
    return rule == LengthRule || rule == LengthZero || rule == DurationRule;
}

QString trueFalse(const QString &legacy) {
    return legacy.trimmed().compare(u"yes", Qt::CaseInsensitive) == 0 ? u"true"_qs : u"false"_qs;
}

// <itunes:explicit>no</itunes:explicit> in a block of kept content.
const QRegularExpression &legacyExplicit() {
    static const QRegularExpression pattern(
        QStringLiteral(
            "(<itunes:explicit(?:\\s[^>]*)?>)\\s*(yes|no|clean)\\s*(</itunes:explicit>)"),
        QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

const QRegularExpression &itunesTitle() {
    static const QRegularExpression pattern(
        QStringLiteral("(<itunes:title(?:\\s[^>]*)?>)(.*?)(</itunes:title>)"),
        QRegularExpression::DotMatchesEverythingOption);
    return pattern;
}

// The file an enclosure address names, beside the feed; empty when there is none.
QString localMedia(const QString &url, const Context &context) {
    if (context.feedFolder.isEmpty())
        return {};
    const QString name = QUrl(url.trimmed()).fileName(QUrl::FullyDecoded);
    if (name.isEmpty())
        return {};
    const QString path = QDir(context.feedFolder).filePath(name);
    return QFileInfo(path).isFile() ? path : QString();
}

bool lengthNeedsFile(const Episode &episode) {
    return !FeedCheckValues::isPositiveLength(episode[EpisodeColumn::Length]);
}

bool durationNeedsFile(const Episode &episode) {
    const QString duration = episode[EpisodeColumn::Duration].trimmed();
    return !duration.isEmpty() && !FeedCheckValues::isDuration(duration);
}

bool needsFile(const QString &rule, const Episode &episode) {
    return rule == DurationRule ? durationNeedsFile(episode) : lengthNeedsFile(episode);
}

// Whether the value at `place` is refused by the save and escaping mends it.
bool escapable(const QString &value, bool attribute) {
    return !FeedFault::problem(value, attribute).isEmpty() &&
           FeedFault::problem(escaped(value, attribute), attribute).isEmpty();
}

bool titleFixable(const Episode &episode) {
    const QString title = episode[EpisodeColumn::Title];
    if (!FeedFault::problem(title, false).isEmpty())
        return false;
    const QString block = QString::fromUtf8(episode.extra());
    const QRegularExpressionMatch match = itunesTitle().match(block);
    return match.hasMatch() && FeedCheckValues::unescaped(match.captured(2)).trimmed() !=
                                   FeedCheckValues::unescaped(title).trimmed();
}

bool fixTitle(Episode &episode) {
    if (!titleFixable(episode))
        return false;
    QString block = QString::fromUtf8(episode.extra());
    const QRegularExpressionMatch match = itunesTitle().match(block);
    block.replace(match.capturedStart(2), match.capturedLength(2), episode[EpisodeColumn::Title]);
    episode.setExtra(block.toUtf8());
    return true;
}

bool fixMedia(Episode &episode, const QString &rule, const Context &context) {
    if (!needsFile(rule, episode))
        return false;
    const QString path = localMedia(episode[EpisodeColumn::Url], context);
    if (path.isEmpty())
        return false;
    const MediaEpisode read = MediaEpisode::fromFile(path, nullptr, context.now);
    if (!read.isValid())
        return false;
    bool changed = false;
    const auto take = [&](int column) {
        const QString value = read.episode[column];
        if (!value.isEmpty() && value != episode[column]) {
            episode[column] = value;
            changed = true;
        }
    };
    take(EpisodeColumn::Length);
    if (read.durationRead)
        take(EpisodeColumn::Duration);
    return changed;
}

// Makes the fix of `rule` at one episode; false when there was nothing to fix.
bool fixEpisode(Episode &episode, const QString &rule, int column, const Context &context) {
    if (rule == ExplicitLegacy) {
        const QString value = episode[EpisodeColumn::Explicit];
        if (!FeedCheckValues::isYesNoClean(value.trimmed()))
            return false;
        episode[EpisodeColumn::Explicit] = trueFalse(value);
        return true;
    }
    if (rule == SaveRefused) {
        const auto escapeColumn = [&](int c) {
            const bool attribute = FeedFault::isAttributeColumn(c);
            if (!escapable(episode[c], attribute))
                return false;
            episode[c] = escaped(episode[c], attribute);
            return true;
        };
        if (column >= 0)
            return escapeColumn(column);
        bool changed = false;
        for (int c = 0; c < EpisodeColumn::Count; ++c)
            changed = escapeColumn(c) || changed;
        return changed;
    }
    if (rule == ItunesTitle)
        return fixTitle(episode);
    if (isMediaRule(rule))
        return fixMedia(episode, rule, context);
    return false;
}

bool fixField(PodcastContent &content, int index) {
    const bool attribute = FeedFault::isAttributeField(index);
    QString &value = content.fields[size_t(index)];
    if (!escapable(value, attribute))
        return false;
    value = escaped(value, attribute);
    return true;
}

// Any episode explicit makes the show explicit; otherwise it is not.
QString showExplicit(const PodcastContent &content) {
    for (const Episode &episode : content.episodes) {
        const QString value = episode[EpisodeColumn::Explicit].trimmed();
        if (value.compare(u"true", Qt::CaseInsensitive) == 0 ||
            value.compare(u"yes", Qt::CaseInsensitive) == 0)
            return u"true"_qs;
    }
    return u"false"_qs;
}

bool hasChannelExplicit(const QByteArray &block) {
    static const QRegularExpression element(QStringLiteral("<itunes:explicit[\\s>/]"));
    return element.match(QString::fromUtf8(block)).hasMatch();
}

bool fixChannel(PodcastContent &content, const QString &rule) {
    if (rule == ChannelExplicitMissing) {
        if (hasChannelExplicit(content.channelExtra))
            return false;
        KeptContent::append(content.channelExtra,
                            QStringLiteral("<itunes:explicit>%1</itunes:explicit>")
                                .arg(showExplicit(content))
                                .toUtf8());
        return true;
    }
    if (rule == ChannelExplicitValue) {
        QString block = QString::fromUtf8(content.channelExtra);
        const QRegularExpressionMatch match = legacyExplicit().match(block);
        if (!match.hasMatch())
            return false;
        block.replace(match.capturedStart(), match.capturedLength(),
                      match.captured(1) + trueFalse(match.captured(2)) + match.captured(3));
        content.channelExtra = block.toUtf8();
        return true;
    }
    return false;
}

bool fixAt(PodcastContent &content, const QString &rule, const Place &place,
           const Context &context) {
    if (place.isField())
        return rule == SaveRefused && fixField(content, place.field);
    if (place.episode == 0)
        return fixChannel(content, rule);
    if (place.episode > content.episodes.size())
        return false;
    Episode episode = content.episodes[place.episode - 1];
    if (!fixEpisode(episode, rule, place.column, context))
        return false;
    content.episodes[place.episode - 1] = episode;
    return true;
}

bool canFixEpisode(const Episode &episode, const QString &rule, int column,
                   const Context &context) {
    if (rule == ExplicitLegacy)
        return FeedCheckValues::isYesNoClean(episode[EpisodeColumn::Explicit].trimmed());
    if (rule == SaveRefused)
        return column >= 0 && escapable(episode[column], FeedFault::isAttributeColumn(column));
    if (rule == ItunesTitle)
        return titleFixable(episode);
    if (isMediaRule(rule))
        return needsFile(rule, episode) &&
               !localMedia(episode[EpisodeColumn::Url], context).isEmpty();
    return false;
}
} // namespace

QString escaped(const QString &value, bool attribute) {
    static const QRegularExpression reference(
        QStringLiteral("^&(amp|lt|gt|quot|apos|#[0-9]+|#x[0-9A-Fa-f]+);"));
    static const QRegularExpression named(QStringLiteral("^&[A-Za-z_][A-Za-z0-9_.-]*;"));
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'&') {
            const QStringView rest = QStringView(value).sliced(i);
            // A name XML does not know (&eacute;) means a character the user
            // has to choose; it is left for the check to name.
            if (reference.match(rest).hasMatch() || named.match(rest).hasMatch())
                out += c;
            else
                out += u"&amp;"_qs;
        } else if (attribute && c == u'<') {
            out += u"&lt;"_qs;
        } else if (attribute && c == u'"') {
            out += u"&quot;"_qs;
        } else {
            out += c;
        }
    }
    return out;
}

QString description(const QString &rule) {
    if (rule == ExplicitLegacy || rule == ChannelExplicitValue)
        return QStringLiteral("Write yes as true, and no or clean as false.");
    if (rule == ChannelExplicitMissing)
        return QStringLiteral("Add itunes:explicit: true when an episode is explicit, else false.");
    if (rule == SaveRefused)
        return QStringLiteral("Write each bare & as &amp; (and < and \" in an address as &lt; "
                              "and &quot;).");
    if (rule == ItunesTitle)
        return QStringLiteral("Write the Title into itunes:title.");
    if (isMediaRule(rule))
        return QStringLiteral("Read the length and the duration from the media file beside the "
                              "feed.");
    return {};
}

bool canFix(const PodcastDocument &document, const FeedFinding &finding, const Context &context) {
    const Place &place = finding.place;
    if (place.isField())
        return finding.rule == SaveRefused &&
               escapable(document.field(place.field), FeedFault::isAttributeField(place.field));
    if (place.episode == 0) {
        if (finding.rule == ChannelExplicitMissing)
            return !hasChannelExplicit(document.channelExtra());
        if (finding.rule == ChannelExplicitValue)
            return legacyExplicit().match(QString::fromUtf8(document.channelExtra())).hasMatch();
        return false;
    }
    if (place.episode > document.episodeCount())
        return false;
    return canFixEpisode(document.episode(place.episode), finding.rule, place.column, context);
}

std::optional<PodcastContent> fix(const PodcastDocument &document, const FeedFinding &finding,
                                  const Context &context) {
    PodcastContent content = document.content();
    if (!fixAt(content, finding.rule, finding.place, context))
        return std::nullopt;
    return content;
}

std::optional<PodcastContent> fixAll(const PodcastDocument &document, const QString &rule,
                                     const Context &context) {
    PodcastContent content = document.content();
    bool changed = false;
    if (rule == SaveRefused) {
        for (int index = 0; index < ChannelField::Count; ++index)
            changed = fixField(content, index) || changed;
    }
    changed = fixChannel(content, rule) || changed;
    for (qsizetype number = 1; number <= content.episodes.size(); ++number)
        changed = fixAt(content, rule, Place::ofColumn(number, -1), context) || changed;
    if (!changed)
        return std::nullopt;
    return content;
}

std::optional<PodcastContent> fixRefusal(const PodcastDocument &document) {
    const std::optional<PodcastContent> content = fixAll(document, SaveRefused, Context());
    if (!content)
        return std::nullopt;
    // Only when nothing else would still be refused: the user is told to
    // save again, and a second refusal would be a poor answer.
    for (int index = 0; index < ChannelField::Count; ++index) {
        if (!FeedFault::problem(content->fields[size_t(index)], FeedFault::isAttributeField(index))
                 .isEmpty())
            return std::nullopt;
    }
    for (const Episode &episode : content->episodes) {
        for (int column = 0; column < EpisodeColumn::Count; ++column) {
            if (!FeedFault::problem(episode[column], FeedFault::isAttributeColumn(column))
                     .isEmpty())
                return std::nullopt;
        }
    }
    return content;
}
} // namespace FeedFix
