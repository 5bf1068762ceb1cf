#include "LoadPodcast.h"

#include "EpisodeRoom.h"
#include "ErrorReporter.h"
#include "FeedSchema.h"
#include "FeedSource.h"
#include "FileDialogService.h"
#include "FileSpans.h"
#include "KeptBlock.h"
#include "KeptContent.h"
#include "Locations.h"
#include "MessageService.h"
#include "PreparedSource.h"
#include "RepairPodcast.h"
#include "StepGuard.h"
#include "model/PodcastDocument.h"
#include "xml/XmlDocument.h"
#include "xml/XmlEscape.h"
#include "xml/XmlOutline.h"

#include <QBuffer>
#include <QDir>
#include <QVarLengthArray>
#include <array>
#include <cstring>
#include <functional>
#include <future>
#include <optional>

using namespace Qt::StringLiterals;

namespace {
// The reading path of each Channel field, by field index (also the reading
// order), from the feed schema.
const std::array<QString, ChannelField::Count> &channelPaths() {
    static const std::array<QString, ChannelField::Count> paths = [] {
        std::array<QString, ChannelField::Count> made;
        for (int k = 0; k < ChannelField::Count; ++k) {
            const FeedSchema::Place &place = FeedSchema::Channel[size_t(k)];
            made[size_t(k)] = u"rss/channel/"_s +
                              (place.parent ? QLatin1StringView(place.parent) + u'/' : QString()) +
                              QLatin1StringView(place.element);
        }
        return made;
    }();
    return paths;
}

constexpr QStringView ItemPath = u"rss/channel/item";

// The text columns read before and after the enclosure, in this order.
constexpr std::array<int, 3> BeforeEnclosure{EpisodeColumn::Author, EpisodeColumn::Subtitle,
                                             EpisodeColumn::Summary};
constexpr std::array<int, 6> AfterEnclosure{EpisodeColumn::Guid,     EpisodeColumn::PubDate,
                                            EpisodeColumn::Duration, EpisodeColumn::Keywords,
                                            EpisodeColumn::Explicit, EpisodeColumn::Category};

// Category and Image Link: the attribute the editor writes them to (text,
// href), else the first one, whatever its name. Taking the first one even
// where the written one stands later would write its value as the address
// and lose the other.
qsizetype valueAttribute(const XmlNode &element) {
    const QList<XmlAttribute> attributes = element.attributes();
    if (attributes.isEmpty())
        throw StepFailure(QStringLiteral("The element %1 has no attribute.").arg(element.name()));
    const QString written =
        element.name() == QLatin1StringView(FeedSchema::Channel[ChannelField::ImageLink].element)
            ? QLatin1StringView(FeedSchema::Channel[ChannelField::ImageLink].attribute)
            : QLatin1StringView(FeedSchema::Channel[ChannelField::Category].attribute);
    for (qsizetype i = 0; i < attributes.size(); ++i) {
        if (attributes[i].qualifiedName == written)
            return i;
    }
    return 0;
}

// Everything a load gathers before it changes the document, so a load that
// cannot finish changes nothing.
struct Staged {
    std::array<std::optional<QString>, ChannelField::Count> fields;
    QList<Episode> episodes;
    QByteArray channelExtra;
    QByteArray hiddenItems;
    QByteArray prolog;
};

// A name the loader asks about, compared byte for byte.
template<qsizetype N> bool is(QByteArrayView name, const char (&literal)[N]) {
    return name.size() == N - 1 && std::memcmp(name.data(), literal, N - 1) == 0;
}

// An attribute's local name in lower case and its qualified name, for the
// names the loader asks about: those are ASCII, and a name that is not
// cannot lower to one of them (the only such characters, U+0130 and U+212A,
// lower to i and k), so it is compared as an empty name.
struct AttributeName {
    QByteArrayView qualified;
    char lowered[8] = {};
    qsizetype localSize = 0;
    QByteArrayView local() const { return QByteArrayView(lowered, localSize); }
};
AttributeName attributeName(const XmlNode &element, qsizetype i) {
    AttributeName name;
    const QByteArrayView local = element.attributeLocalNameView(i);
    name.qualified = element.attributeQualifiedNameView(i);
    if (local.size() < qsizetype(sizeof name.lowered)) {
        for (qsizetype k = 0; k < local.size(); ++k) {
            const char c = local[k];
            if (uchar(c) >= 0x80)
                return name;
            name.lowered[k] = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
        }
        name.localSize = local.size();
    }
    return name;
}

// One listed item's columns, read as the table of columns says, and its kept
// content.
// An item's children, and the first of each that a column reads, found in
// one pass: the loader asks this for every item of a long feed.
struct ItemChildren {
    QVarLengthArray<XmlNode, 24> all;
    QVarLengthArray<QByteArrayView, 24> names;       // of `all`, as written back
    QVarLengthArray<qint8, 24> columns;              // of `all`: a column's, or -1
    std::array<XmlNode, EpisodeColumn::Count> first; // the enclosure under Url

    explicit ItemChildren(const XmlNode &item) {
        all.resize(all.capacity());
        const qsizetype room = all.size();
        const qsizetype count = item.childNodes(all.data(), room);
        all.resize(count);
        if (count > room)
            item.childNodes(all.data(), count);
        for (const XmlNode &child : std::as_const(all)) {
            names.append(child.outputNameView());
            const int column = FeedSchema::itemColumnOf(names.back());
            columns.append(qint8(column));
            if (column >= 0 && first[size_t(column)].isNull())
                first[size_t(column)] = child;
        }
    }
};

template<typename At>
void readEpisode(const ItemChildren &children, Episode &episode, StepGuard &guard, At at,
                 FileSpans &spans, const QByteArray &shared) {
    std::array<QByteArrayView, EpisodeColumn::Count> values;
    // Texts made for CDATA sections, which the values then point into.
    QVarLengthArray<QByteArray, 4> made;
    const auto held = [&](int column, const XmlNode &element) {
        QByteArray text;
        const QByteArrayView view = element.heldTextView(&text);
        // Moved, the made text keeps its bytes where the (trimmed) view is.
        if (!text.isNull())
            made.append(std::move(text));
        values[size_t(column)] = spans.element(column, view);
    };
    held(EpisodeColumn::Title, children.first[EpisodeColumn::Title]);

    int step = at(198);
    for (const int column : BeforeEnclosure) {
        XmlNode element;
        guard.step(step, [&] { element = children.first[size_t(column)]; });
        if (!element.isNull())
            guard.step(step + 2, [&] { held(column, element); });
        step += 4;
    }

    XmlNode enclosure;
    QVarLengthArray<bool, 8> consumed;
    guard.step(at(210), [&] { enclosure = children.first[EpisodeColumn::Url]; });
    if (!enclosure.isNull()) {
        qsizetype count = 0;
        guard.step(at(212), [&] { count = enclosure.attributeCount(); });
        consumed.resize(count);
        for (qsizetype i = 0; i < count; ++i) {
            const AttributeName name = attributeName(enclosure, i);
            // Written back as url, type and length: an attribute of one of
            // those names that lost to a later one would clash with them.
            const QByteArrayView local = name.local();
            consumed[i] = is(local, "url") || is(local, "type") || is(local, "length") ||
                          is(name.qualified, "url") || is(name.qualified, "type") ||
                          is(name.qualified, "length");
            const auto take = [&](int column) {
                values[size_t(column)] = spans.attribute(enclosure.attributeHeldView(i));
            };
            guard.enter(at(214));
            if (is(local, "url"))
                guard.step(at(216), [&] { take(EpisodeColumn::Url); });
            guard.enter(at(218));
            if (is(local, "type"))
                guard.step(at(220), [&] { take(EpisodeColumn::Type); });
            guard.enter(at(222));
            if (is(local, "length"))
                guard.step(at(224), [&] { take(EpisodeColumn::Length); });
            guard.enter(at(226));
        }
    }

    step = at(228);
    for (const int column : AfterEnclosure) {
        XmlNode element;
        guard.step(step, [&] { element = children.first[size_t(column)]; });
        if (!element.isNull())
            guard.step(step + 2, [&] { held(column, element); });
        step += 4;
    }
    episode.setValues(values, shared);

    KeptBlock kept(KeptContent::itemElement);
    for (qsizetype k = 0; k < children.all.size(); ++k) {
        const XmlNode &child = children.all[k];
        const int column = children.columns[k];
        if (column < 0 || children.first[size_t(column)] != child) {
            kept.keep(child);
        } else if (child == enclosure) {
            kept.addWritten(child, [&](int i) { return i < consumed.size() && consumed[i]; });
        } else if (child.attributeCount() == 0 && !child.hasChildNodes()) {
            // The usual column: nothing of it to keep.
            kept.addBare(children.names[k]);
        } else {
            kept.addWritten(child, [](int) { return false; });
        }
    }
    // Kept nodes found byte for byte in the file's text stay there.
    QList<QByteArrayView> nodes;
    if (kept.isOnlyNodes() && spans.nodes(kept.nodes(), &nodes))
        episode.setExtraNodes(nodes);
    else
        episode.setExtra(kept.take());
}

// The channel's kept content: everything but the fields, the build date
// (the editor writes its own) and the items (read one by one).
QByteArray channelExtra(const XmlNode &channel) {
    KeptBlock kept(KeptContent::channelElement);
    QList<QString> written;
    for (const XmlNode &child : channel.childNodes()) {
        const QString name = child.name();
        if (name == u"lastBuildDate" || name == u"item")
            continue;
        const bool first =
            child.kind() == XmlNode::Kind::Element &&
            KeptContent::channelElement(child.outputName()) != KeptContent::Written::None &&
            !written.contains(name);
        if (!first) {
            kept.keep(child);
            continue;
        }
        written.append(name);
        if (name == u"itunes:category" || name == u"itunes:image") {
            const qsizetype value = child.attributeCount() > 0 ? valueAttribute(child) : -1;
            kept.addWritten(child, [value](int i) { return i == value; });
        } else if (name == u"itunes:owner") {
            bool nameRead = false;
            bool emailRead = false;
            kept.addWritten(
                child, [](int) { return false; },
                [&](const XmlNode &grandChild) {
                    const QString n = grandChild.name();
                    if (n == u"itunes:name" && !nameRead)
                        return nameRead = true;
                    if (n == u"itunes:email" && !emailRead)
                        return emailRead = true;
                    return false;
                });
        } else {
            kept.addWritten(child, [](int) { return false; });
        }
    }
    return kept.take();
}
// The file's text for a format-keeping save, its episodes numbered to match;
// null (and no episode numbered) when the text cannot be followed.
std::shared_ptr<const FeedSource> keepSource(std::shared_ptr<FeedSource> prepared, Staged &staged,
                                             const PodcastContent::Namespaces &namespaces,
                                             qsizetype itemsRead) {
    if (!prepared)
        return nullptr;
    FeedSource::Loaded loaded;
    for (int k = 0; k < ChannelField::Count; ++k) {
        loaded.fieldRead[size_t(k)] = staged.fields[size_t(k)].has_value();
        loaded.fields[size_t(k)] = staged.fields[size_t(k)].value_or(QString());
    }
    for (qsizetype i = 0; i < staged.episodes.size(); ++i)
        staged.episodes[i].source = qint32(i);
    loaded.episodes = staged.episodes;
    loaded.channelExtra = staged.channelExtra;
    loaded.hiddenItems = staged.hiddenItems;
    loaded.prolog = staged.prolog;
    loaded.namespaces = namespaces;
    std::shared_ptr<const FeedSource> source =
        FeedSource::finish(std::move(prepared), std::move(loaded), itemsRead);
    if (!source) {
        for (Episode &episode : staged.episodes)
            episode.source = -1;
    }
    return source;
}

// A file named by its path, or a text already in memory (a repaired copy).
struct FeedInput {
    QString path;
    const QByteArray *text = nullptr;

    // Parses the input; `bytes`, when given, gets its text, read only once,
    // and `beforeParse` sees it before the parse begins.
    bool load(XmlDocument &xml, std::optional<QByteArray> *bytes,
              const XmlDocument::BeforeParse &beforeParse) const {
        if (!text) {
            if (!bytes)
                return xml.load(path);
            QByteArray read;
            const bool loaded = xml.load(path, &read, beforeParse);
            *bytes = std::move(read);
            return loaded;
        }
        if (bytes) {
            *bytes = *text;
            beforeParse(*text, nullptr);
        }
        QByteArray shared = *text;
        QBuffer buffer(&shared);
        buffer.open(QIODevice::ReadOnly);
        return xml.load(&buffer);
    }
};

// `changed`, when given, is set instead of failing when the file changed
// while it was read.
bool loadFeedOnce(const FeedInput &input, PodcastDocument &document, LoadCommand command,
                  StepGuard &guard, MessageService &messages, bool *changed) {
    // The sample command numbers the same steps six lower.
    const int base = command == LoadCommand::LoadSample ? -6 : 0;
    const auto at = [base](int step) { return step + base; };
    const auto fail = [&](const QString &reason) {
        guard.step(at(252), [&] { messages.notice(QStringLiteral("Fail to load XML."), reason); });
        return false;
    };

    guard.setPropagateOutOfMemory(true);
    struct Restore {
        StepGuard &guard;
        ~Restore() { guard.setPropagateOutOfMemory(false); }
    } restore{guard};

    // The first file loaded into an empty document becomes its text; a later
    // one only brings its values and episodes.
    const bool becomesText = document.isBlank();
    Staged staged;
    try {
        XmlDocument xml;
        PreparedSource prepared;
        std::vector<qsizetype> listed; // the items read as episodes, by ordinal
        // Items are read as the parser closes each one and then forgotten.
        qsizetype items = 0;
        bool sized = false;
        auto room = std::make_shared<EpisodeRoom>();
        const auto readItem = [&](const XmlNode &item) {
            // Every item, listed or not, to find it again in the text.
            const qsizetype ordinal = items++;
            guard.enter(at(190));
            const ItemChildren children(item);
            XmlNode title;
            guard.step(at(192), [&] { title = children.first[EpisodeColumn::Title]; });
            if (title.isNull()) {
                // Not listed, as ever, but kept whole and written back.
                KeptContent::append(staged.hiddenItems, item.outerXml());
                return;
            }
            // The list for every item, made beside the parse once the item
            // tags are counted (see EpisodeRoom): grown item by item, the
            // list was copied each time, old and new copies side by side.
            if (!sized && prepared.started() && prepared.itemCount() >= 0) {
                sized = true;
                room->take(staged.episodes);
            }
            Episode *appended = nullptr;
            guard.step(at(194), [&] { appended = &room->append(staged.episodes); });
            guard.enter(at(196));
            if (!appended)
                return;
            Episode &episode = *appended;
            if (prepared.started())
                listed.push_back(ordinal);
            FileSpans spans = prepared.started() ? FileSpans(prepared, ordinal, item) : FileSpans();
            readEpisode(children, episode, guard, at, spans, prepared.text());
        };
        guard.step(at(112), [&] {
            xml.setRetainedPaths({QStringLiteral("rss/channel")});
            xml.setStreamedPath(ItemPath.toString(), readItem);
            xml.setNamespaces(document.namespaces());
        });
        bool loaded = false; // a step that fails before the parse fails the load
        std::optional<QByteArray> bytes;
        // The text is followed before the parse, so that episodes can share it.
        const auto follow = [&](const QByteArray &text,
                                const std::shared_ptr<const BackgroundRead> &read) {
            prepared.start(text, read, [room](qsizetype count) { room->make(count); });
            // Items written as the store writes them are copied from the
            // text, when it is the text parsed (UTF-8 to begin with).
            if (prepared.text().constData() == text.constData())
                xml.setStreamedText(text);
        };
        guard.step(at(114),
                   [&] { loaded = input.load(xml, becomesText ? &bytes : nullptr, follow); });
        if (!loaded && changed && xml.inputChanged()) {
            *changed = true;
            return false;
        }
        if (!loaded)
            return fail(xml.errorString());

        for (int k = 0; k < ChannelField::Count; ++k) {
            XmlNode element;
            guard.step(at(116 + 6 * k),
                       [&] { element = xml.selectSingleNode(channelPaths()[size_t(k)]); });
            guard.enter(at(118 + 6 * k));
            if (element.isNull())
                continue;
            guard.step(at(120 + 6 * k), [&] {
                staged.fields[size_t(k)] =
                    FeedSchema::Channel[size_t(k)].attribute
                        ? element.attributes().at(valueAttribute(element)).heldText
                        : element.heldText();
            });
        }
        guard.step(at(188), [&] {
            staged.channelExtra = channelExtra(xml.selectSingleNode(u"rss/channel"));
            for (const XmlNode &node : xml.prolog())
                KeptContent::append(staged.prolog, node.outerXml());
        });

        std::shared_ptr<const FeedSource> source;
        if (becomesText && bytes && prepared.started()) {
            std::shared_ptr<FeedSource> outlined = prepared.take();
            if (outlined) {
                for (const qsizetype ordinal : listed)
                    outlined->listItem(ordinal);
            }
            source = keepSource(std::move(outlined), staged, xml.namespaces(), items);
        }

        // Nothing above touched the document; now it all goes in at once.
        for (int k = 0; k < ChannelField::Count; ++k) {
            if (staged.fields[size_t(k)])
                document.setField(k, *staged.fields[size_t(k)]);
        }
        // What the editor does not read of a channel stays with the file it
        // came from: a later file's atom:link, itunes:block or
        // itunes:new-feed-url would publish this feed as that one.
        if (becomesText) {
            document.setChannelExtra(staged.channelExtra);
            document.setProlog(staged.prolog);
            document.setHiddenItems(staged.hiddenItems);
            document.setSource(source);
        }
        document.setNamespaces(xml.namespaces());
        guard.step(at(250), [&] { document.appendEpisodes(std::move(staged.episodes)); });
    } catch (const std::bad_alloc &) {
        staged = {};
        return fail(QStringLiteral("Out of memory"));
    }
    return true;
}
bool loadFeed(const FeedInput &input, PodcastDocument &document, LoadCommand command,
              StepGuard &guard, MessageService &messages) {
    // A file saved over while it was read is read again: the parse saw
    // neither the old text nor the new.
    constexpr int Attempts = 3;
    for (int attempt = 1;; ++attempt) {
        bool changed = false;
        const bool loaded = loadFeedOnce(input, document, command, guard, messages,
                                         attempt < Attempts ? &changed : nullptr);
        if (!changed)
            return loaded;
    }
}
} // namespace

bool LoadPodcast(const QString &path, PodcastDocument &document, LoadCommand command,
                 StepGuard &guard, MessageService &messages) {
    return loadFeed({path}, document, command, guard, messages);
}

bool loadPodcastText(const QByteArray &text, PodcastDocument &document, LoadCommand command,
                     StepGuard &guard, MessageService &messages) {
    return loadFeed({QString(), &text}, document, command, guard, messages);
}

bool loadPodcastFile(const QString &path, PodcastDocument &document, MessageService &messages,
                     ErrorReporter &errors, RepairOffer offer) {
    StepGuard guard(errors, Locations::form1("PushButton7_Click"));
    if (LoadPodcast(path, document, LoadCommand::LoadFile, guard, messages))
        return true;
    return offer == RepairOffer::Ask && RepairPodcast::offer(path, document, messages, errors);
}

void loadPodcastCommand(PodcastDocument &document, FileDialogService &dialogs,
                        MessageService &messages, ErrorReporter &errors, RepairOffer offer) {
    StepGuard guard(errors, Locations::form1("PushButton7_Click"));
    FileDialogService::Settings settings;
    guard.step(100, [&] { settings.fileName = QStringLiteral("Podcast.xml"); });
    guard.step(102, [&] { settings.title = QStringLiteral("Open Podcast.xml"); });
    guard.step(104, [&] { settings.filter = QStringLiteral("Podcast.xml (*.xml)|*.xml"); });
    QString chosen;
    guard.step(106, [&] { chosen = dialogs.openFileName(settings); });
    QString path;
    guard.step(108, [&] { path = chosen; });
    guard.enter(110);
    if (path.isEmpty())
        return;
    if (!LoadPodcast(path, document, LoadCommand::LoadFile, guard, messages) &&
        offer == RepairOffer::Ask)
        RepairPodcast::offer(path, document, messages, errors);
}

void loadSampleCommand(PodcastDocument &document, const QString &applicationFolder,
                       MessageService &messages, ErrorReporter &errors) {
    StepGuard guard(errors, Locations::form1("PushButton8_Click"));
    MessageService::Answer answer = MessageService::Answer::No;
    guard.step(100, [&] {
        answer = messages.question(
            QStringLiteral("Loading this sample will clear out all "
                           "textboxes below. Are you sure you wish to load?"),
            QString(), MessageService::Buttons::YesNo, MessageService::Answer::Yes);
    });
    if (answer != MessageService::Answer::Yes)
        return;
    QString path;
    guard.step(102, [&] {
        path = applicationFolder + QDir::separator() + QStringLiteral("Samples") +
               QDir::separator() + QStringLiteral("Podcast.xml");
    });
    LoadPodcast(path, document, LoadCommand::LoadSample, guard, messages);
}
