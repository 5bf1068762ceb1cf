#include "LoadPodcast.h"

#include "ErrorReporter.h"
#include "FileDialogService.h"
#include "Locations.h"
#include "MessageService.h"
#include "StepGuard.h"
#include "model/PodcastDocument.h"
#include "xml/XmlDocument.h"

#include <QDir>
#include <array>

namespace {
struct ChannelPath {
    QStringView path;
    bool firstAttribute; // Category and Image Link take their first attribute's value
};

// By Channel field index, which is also the reading order.
constexpr std::array<ChannelPath, ChannelField::Count> ChannelPaths{{
    {u"rss/channel/title", false},
    {u"rss/channel/link", false},
    {u"rss/channel/language", false},
    {u"rss/channel/copyright", false},
    {u"rss/channel/description", false},
    {u"rss/channel/itunes:subtitle", false},
    {u"rss/channel/itunes:author", false},
    {u"rss/channel/itunes:summary", false},
    {u"rss/channel/itunes:category", true},
    {u"rss/channel/itunes:owner/itunes:name", false},
    {u"rss/channel/itunes:owner/itunes:email", false},
    {u"rss/channel/itunes:image", true},
}};

constexpr QStringView ItemPath = u"rss/channel/item";

struct ItemChild {
    QStringView name;
    int column;
};

// Read in this order, before and after the enclosure.
constexpr std::array<ItemChild, 3> BeforeEnclosure{{
    {u"itunes:author", EpisodeColumn::Author},
    {u"itunes:subtitle", EpisodeColumn::Subtitle},
    {u"itunes:summary", EpisodeColumn::Summary},
}};
constexpr std::array<ItemChild, 6> AfterEnclosure{{
    {u"guid", EpisodeColumn::Guid},
    {u"pubDate", EpisodeColumn::PubDate},
    {u"itunes:duration", EpisodeColumn::Duration},
    {u"itunes:keywords", EpisodeColumn::Keywords},
    {u"itunes:explicit", EpisodeColumn::Explicit},
    {u"category", EpisodeColumn::Category},
}};

// Only what is read is kept, so a large feed costs little more than its text.
QStringList retainedPaths() {
    QStringList paths;
    for (const ChannelPath &channel : ChannelPaths)
        paths.append(channel.path.toString());
    const QString item = ItemPath.toString() + u'/';
    paths.append(item + QStringLiteral("title"));
    paths.append(item + QStringLiteral("enclosure"));
    for (const ItemChild &child : BeforeEnclosure)
        paths.append(item + child.name.toString());
    for (const ItemChild &child : AfterEnclosure)
        paths.append(item + child.name.toString());
    return paths;
}

XmlAttribute firstAttribute(const XmlNode &element) {
    const QList<XmlAttribute> attributes = element.attributes();
    if (attributes.isEmpty())
        throw StepFailure(QStringLiteral("The element %1 has no attribute.").arg(element.name()));
    return attributes.first();
}
} // namespace

bool LoadPodcast(const QString &path, PodcastDocument &document, LoadCommand command,
                 StepGuard &guard, MessageService &messages) {
    // The sample command numbers the same steps six lower.
    const int base = command == LoadCommand::LoadSample ? -6 : 0;
    const auto at = [base](int step) { return step + base; };

    XmlDocument xml;
    guard.step(at(112), [&] { xml.setRetainedPaths(retainedPaths()); });
    bool loaded = true;
    if (guard.step(at(114), [&] { loaded = xml.load(path); }) && !loaded) {
        guard.step(at(252), [&] {
            messages.notice(QStringLiteral("Fail to load XML."), xml.errorString());
        });
        return false;
    }

    for (int k = 0; k < ChannelField::Count; ++k) {
        const ChannelPath &channel = ChannelPaths[size_t(k)];
        XmlNode element;
        guard.step(at(116 + 6 * k), [&] { element = xml.selectSingleNode(channel.path); });
        guard.enter(at(118 + 6 * k));
        if (element.isNull())
            continue;
        guard.step(at(120 + 6 * k), [&] {
            document.setField(k, channel.firstAttribute ? firstAttribute(element).text
                                                        : element.text());
        });
    }

    QList<XmlNode> items;
    guard.step(at(188), [&] { items = xml.selectNodes(ItemPath); });
    guard.enter(at(190));
    // The rows go into the list as one batch once every item is read.
    QList<Episode> batch;
    batch.reserve(items.size());
    for (const XmlNode &item : items) {
        XmlNode title;
        guard.step(at(192), [&] { title = item.selectSingleNode(u"title"); });
        bool appended = false;
        if (!title.isNull()) {
            guard.step(at(194), [&] {
                Episode episode;
                episode[EpisodeColumn::Title] = title.text();
                batch.append(std::move(episode));
                appended = true;
            });
        }
        guard.enter(at(196));
        if (!appended)
            continue;
        Episode &episode = batch.last();

        int step = at(198);
        for (const ItemChild &child : BeforeEnclosure) {
            XmlNode element;
            guard.step(step, [&] { element = item.selectSingleNode(child.name); });
            if (!element.isNull())
                guard.step(step + 2, [&] { episode[child.column] = element.text(); });
            step += 4;
        }

        XmlNode enclosure;
        guard.step(at(210), [&] { enclosure = item.selectSingleNode(u"enclosure"); });
        if (!enclosure.isNull()) {
            QList<XmlAttribute> attributes;
            guard.step(at(212), [&] { attributes = enclosure.attributes(); });
            const qsizetype count = attributes.size();
            for (qsizetype i = 0; i < count; ++i) {
                const XmlAttribute &attribute = attributes[i];
                const QString name = attribute.baseName.toLower();
                guard.enter(at(214));
                if (name == u"url")
                    guard.step(at(216), [&] { episode[EpisodeColumn::Url] = attribute.text; });
                guard.enter(at(218));
                if (name == u"type")
                    guard.step(at(220), [&] { episode[EpisodeColumn::Type] = attribute.text; });
                guard.enter(at(222));
                if (name == u"length")
                    guard.step(at(224), [&] { episode[EpisodeColumn::Length] = attribute.text; });
                guard.enter(at(226));
            }
        }

        step = at(228);
        for (const ItemChild &child : AfterEnclosure) {
            XmlNode element;
            guard.step(step, [&] { element = item.selectSingleNode(child.name); });
            if (!element.isNull())
                guard.step(step + 2, [&] { episode[child.column] = element.text(); });
            step += 4;
        }
        guard.enter(at(250));
    }
    guard.step(at(250), [&] { document.appendEpisodes(std::move(batch)); });
    return true;
}

bool loadPodcastFile(const QString &path, PodcastDocument &document, MessageService &messages,
                     ErrorReporter &errors) {
    StepGuard guard(errors, Locations::form1("PushButton7_Click"));
    return LoadPodcast(path, document, LoadCommand::LoadFile, guard, messages);
}

void loadPodcastCommand(PodcastDocument &document, FileDialogService &dialogs,
                        MessageService &messages, ErrorReporter &errors) {
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
    LoadPodcast(path, document, LoadCommand::LoadFile, guard, messages);
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
