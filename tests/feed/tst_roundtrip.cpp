#include "feed/BuildDate.h"
#include "feed/FeedSource.h"
#include "feed/FeedText.h"
#include "feed/LoadPodcast.h"
#include "feed/SavePodcast.h"
#include "model/PodcastDocument.h"

#include "support/FeedFiles.h"
#include "support/RecordingErrorReporter.h"
#include "support/ScriptedFileDialogs.h"
#include "support/ScriptedMessageService.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>

// Checks loading and saving against libxml2's own tree of both files, so a
// value the loader drops or the writer changes shows up whatever the two
// agree on between themselves.
class tst_RoundTrip : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void feed_everyElementAndAttributeSurvivesSave_data();
    void feed_everyElementAndAttributeSurvivesSave();
    void feed_keptContentKeepsItsOrder_data();
    void feed_keptContentKeepsItsOrder();
    void feed_uneditedSaveKeepsEveryByteButTheBuildDate_data();
    void feed_uneditedSaveKeepsEveryByteButTheBuildDate();
    void feed_editedSaveReadsBackAsEdited_data();
    void feed_editedSaveReadsBackAsEdited();
    void feed_secondSaveGivesSameBytes_data();
    void feed_secondSaveGivesSameBytes();
    void loadingTwice_keepsBothFilesEpisodeContent_data();
    void loadingTwice_keepsBothFilesEpisodeContent();
    void editorMadeFeed_keepsNothingAndSavesUnchanged();
    void sample_savesBackByteForByte();
    void loadedValue_heldInTheFormItIsWritten_data();
    void loadedValue_heldInTheFormItIsWritten();
    void dump_givesKeptContent_data();
    void dump_givesKeptContent();
};

namespace {
QDateTime fixedMoment() {
    return QDateTime(QDate(2026, 12, 7), QTime(9, 10, 3), QTimeZone(7200));
}

QString roundTripFolder() {
    return qEnvironmentVariable("BRINDLEWOOD_TEST_DATA") + QStringLiteral("/roundtrip");
}

using FeedFiles::readAll;
using FeedFiles::writeAll;

// Loads as the command line does; any message or report is a failure here.
QString load(const QString &path, PodcastDocument &document) {
    ScriptedMessageService messages;
    RecordingErrorReporter errors;
    const bool loaded = loadPodcastFile(path, document, messages, errors);
    QStringList problems;
    for (const ScriptedMessageService::Shown &box : messages.shown)
        problems.append(QStringLiteral("message \"%1\" (%2)").arg(box.text, box.detail));
    for (const RecordingErrorReporter::Report &report : errors.reports)
        problems.append(
            QStringLiteral("report at step %1: %2").arg(report.step).arg(report.description));
    if (!loaded && problems.isEmpty())
        problems.append(QStringLiteral("not loaded"));
    return problems.join(u"; ");
}

QString save(const PodcastDocument &document, const QString &path) {
    ScriptedFileDialogs dialogs;
    ScriptedMessageService messages;
    RecordingErrorReporter errors;
    SaveServices services{dialogs, messages, errors, fixedMoment};
    dialogs.paths = {path};
    const bool saved = SavePodcast(document, services);
    QStringList problems;
    for (const ScriptedMessageService::Shown &box : messages.shown)
        problems.append(QStringLiteral("message \"%1\" (%2)").arg(box.text, box.detail));
    for (const RecordingErrorReporter::Report &report : errors.reports)
        problems.append(
            QStringLiteral("report at step %1: %2").arg(report.step).arg(report.description));
    if (!saved && problems.isEmpty())
        problems.append(QStringLiteral("not saved"));
    return problems.join(u"; ");
}

// The build date is the one line a later save may change.
QByteArray withoutBuildDate(const QByteArray &bytes) {
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeIf([](const QByteArray &line) { return line.contains("<lastBuildDate>"); });
    return lines.join('\n');
}

// HTML's named characters that old feeds use under an external DTD nobody
// reads; libxml2 leaves them as undeclared references in its tree.
QString namedCharacter(const QString &name) {
    static const QMap<QString, QString> names{
        {QStringLiteral("eacute"), QStringLiteral("é")},
        {QStringLiteral("egrave"), QStringLiteral("è")},
        {QStringLiteral("agrave"), QStringLiteral("à")},
        {QStringLiteral("copy"), QStringLiteral("©")},
        {QStringLiteral("ndash"), QStringLiteral("–")},
        {QStringLiteral("rsquo"), QStringLiteral("’")},
    };
    return names.value(name);
}

QString fromXml(const xmlChar *text) {
    return text ? QString::fromUtf8(reinterpret_cast<const char *>(text)) : QString();
}

// XML white space only: a no-break space is a value, not padding.
QString trimmedXml(const QString &text) {
    const auto isBlank = [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
    };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

struct XmlDocFree {
    void operator()(xmlDoc *doc) const { xmlFreeDoc(doc); }
};
using XmlDoc = std::unique_ptr<xmlDoc, XmlDocFree>;

XmlDoc parse(const QByteArray &bytes) {
    return XmlDoc(xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

bool isElement(xmlNode *node, const char *local, bool inNoNamespace = true) {
    return node && node->type == XML_ELEMENT_NODE && (!inNoNamespace || !node->ns) &&
           xmlStrEqual(node->name, reinterpret_cast<const xmlChar *>(local));
}

// Element paths the editor writes whatever the document holds.
bool isWrittenPath(QString path) {
    static const QSet<QString> paths = [] {
        const QString itunes = u'{' + QLatin1StringView(FeedText::ItunesNamespace) + u'}';
        QSet<QString> set;
        for (const char *channel : {"title", "link", "language", "copyright", "description"})
            set.insert(QStringLiteral("rss/channel/") + QLatin1StringView(channel));
        for (const char *channel : {"subtitle", "author", "summary", "category", "owner", "image"})
            set.insert(QStringLiteral("rss/channel/") + itunes + QLatin1StringView(channel));
        set.insert(QStringLiteral("rss/channel/") + itunes + QStringLiteral("owner/") + itunes +
                   QStringLiteral("name"));
        set.insert(QStringLiteral("rss/channel/") + itunes + QStringLiteral("owner/") + itunes +
                   QStringLiteral("email"));
        for (const char *item : {"title", "enclosure", "guid", "pubDate", "category"})
            set.insert(QStringLiteral("rss/channel/item/") + QLatin1StringView(item));
        for (const char *item :
             {"author", "subtitle", "summary", "duration", "keywords", "explicit"})
            set.insert(QStringLiteral("rss/channel/item/") + itunes + QLatin1StringView(item));
        return set;
    }();
    static const QRegularExpression itemNumber(QStringLiteral("/item\\[\\d+\\]"));
    path.replace(itemNumber, QStringLiteral("/item"));
    return paths.contains(path);
}

// An element the editor writes with an empty field: fine as an addition.
bool isEmptyWritten(const QString &key) {
    const qsizetype blank = key.indexOf(QStringLiteral(" text=\""));
    if (blank < 0 || !isWrittenPath(key.left(blank)))
        return false;
    static const QRegularExpression filled(QStringLiteral("=\"[^\"]"));
    return !key.mid(blank).contains(filled);
}

// Every element, attribute, comment and processing instruction of a feed as
// one line of text each: where it stands, its namespace and local name, its
// own trimmed text, its attributes sorted. Items are numbered as the editor
// lists them: titled items in file order, then the untitled ones.
class Inventory {
public:
    explicit Inventory(xmlDoc *doc) {
        for (xmlNode *node = doc->children; node; node = node->next) {
            if (node->type == XML_ELEMENT_NODE)
                walk(node, QString());
            else
                addMarkup(node, QStringLiteral("(prolog)"));
        }
    }

    QMap<QString, int> counts;
    // By element path, the children of each such element that only kept
    // content can account for, in document order.
    QMap<QString, QList<QStringList>> order;
    QStringList buildDates;
    QStringList problems;

private:
    static QString name(xmlNode *node) {
        const QString local = fromXml(node->name);
        if (!node->ns || !node->ns->href)
            return local;
        return u'{' + fromXml(node->ns->href) + u'}' + local;
    }

    static QString attributeName(xmlAttr *attribute) {
        const QString local = fromXml(attribute->name);
        if (!attribute->ns || !attribute->ns->href)
            return local;
        return u'{' + fromXml(attribute->ns->href) + u'}' + local;
    }

    QString ownText(xmlNode *element) {
        QString text;
        for (xmlNode *child = element->children; child; child = child->next) {
            if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
                text += fromXml(child->content);
            } else if (child->type == XML_ENTITY_REF_NODE) {
                const QString resolved = namedCharacter(fromXml(child->name));
                if (resolved.isEmpty())
                    problems.append(
                        QStringLiteral("unknown reference &%1;").arg(fromXml(child->name)));
                text += resolved;
            }
        }
        return trimmedXml(text);
    }

    QString addMarkup(xmlNode *node, const QString &where) {
        QString key;
        if (node->type == XML_COMMENT_NODE)
            key = where + QStringLiteral(" <!--") + fromXml(node->content) + QStringLiteral("-->");
        else if (node->type == XML_PI_NODE)
            key = where + QStringLiteral(" <?") + fromXml(node->name) + u' ' +
                  fromXml(node->content) + QStringLiteral("?>");
        if (!key.isEmpty())
            ++counts[key];
        return key;
    }

    QString walk(xmlNode *element, const QString &parentPath) {
        QString path = parentPath.isEmpty() ? name(element) : parentPath + u'/' + name(element);
        if (isElement(element, "item") && element->parent && isElement(element->parent, "channel"))
            path += QStringLiteral("[%1]").arg(itemNumber(element));

        QStringList attributes;
        for (xmlAttr *attribute = element->properties; attribute; attribute = attribute->next) {
            xmlChar *value = xmlNodeGetContent(reinterpret_cast<xmlNode *>(attribute));
            attributes.append(attributeName(attribute) + QStringLiteral("=\"") + fromXml(value) +
                              u'"');
            xmlFree(value);
        }
        attributes.sort();
        const QString key = path + QStringLiteral(" text=\"") + ownText(element) +
                            QStringLiteral("\" ") + attributes.join(u' ');
        // The editor writes its own build date.
        if (path == QStringLiteral("rss/channel/lastBuildDate")) {
            buildDates.append(key);
            return QString();
        }
        ++counts[key];

        // Items are ordered by the listed-then-hidden rule, elements the
        // editor writes by its fixed layout; the rest keeps the file's order.
        QStringList kept;
        for (xmlNode *child = element->children; child; child = child->next) {
            if (child->type != XML_ELEMENT_NODE) {
                const QString markup = addMarkup(child, path);
                if (!markup.isEmpty())
                    kept.append(markup);
                continue;
            }
            const QString childKey = walk(child, path);
            const QString childPath = childKey.left(childKey.indexOf(QStringLiteral(" text=\"")));
            if (!childKey.isEmpty() && !isElement(child, "item") && !isWrittenPath(childPath))
                kept.append(childKey);
        }
        order[path].append(kept);
        return key;
    }

    int itemNumber(xmlNode *item) {
        xmlNode *channel = item->parent;
        if (!m_itemNumbers.contains(channel)) {
            QList<xmlNode *> titled;
            QList<xmlNode *> untitled;
            for (xmlNode *child = channel->children; child; child = child->next) {
                if (!isElement(child, "item"))
                    continue;
                bool hasTitle = false;
                for (xmlNode *grand = child->children; grand; grand = grand->next)
                    hasTitle = hasTitle || isElement(grand, "title");
                (hasTitle ? titled : untitled).append(child);
            }
            int number = 0;
            for (xmlNode *node : titled + untitled)
                m_itemNumbers[channel][node] = ++number;
        }
        return m_itemNumbers[channel][item];
    }

    QHash<xmlNode *, QHash<xmlNode *, int>> m_itemNumbers;
};

QByteArray feed(const QByteArray &channel, const QByteArray &item) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\">\n"
           "<channel>\n" +
           channel + "\n<item>" + item + "</item>\n</channel>\n</rss>\n";
}
} // namespace

void tst_RoundTrip::initTestCase() {
    xmlInitParser();
    const QStringList feeds =
        QDir(roundTripFolder()).entryList({QStringLiteral("*.xml")}, QDir::Files);
    QVERIFY2(feeds.size() >= 10, qPrintable(roundTripFolder()));
}

void tst_RoundTrip::feed_everyElementAndAttributeSurvivesSave_data() {
    QTest::addColumn<QString>("path");
    const QDir folder(roundTripFolder());
    for (const QString &name : folder.entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name))
        QTest::newRow(qPrintable(name)) << folder.filePath(name);
}

void tst_RoundTrip::feed_everyElementAndAttributeSurvivesSave() {
    QFETCH(QString, path);
    PodcastDocument document;
    const QString loadProblems = load(path, document);
    QVERIFY2(loadProblems.isEmpty(), qPrintable(loadProblems));
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("Podcast.xml"));
    const QString saveProblems = save(document, out);
    QVERIFY2(saveProblems.isEmpty(), qPrintable(saveProblems));

    const XmlDoc input = parse(readAll(path));
    QVERIFY(input);
    const QByteArray saved = readAll(out);
    const XmlDoc output = parse(saved);
    QVERIFY2(output, "the saved file is not well-formed");
    const Inventory before(input.get());
    const Inventory after(output.get());
    QVERIFY2(before.problems.isEmpty(), qPrintable(before.problems.join(u'\n')));
    QVERIFY2(after.problems.isEmpty(), qPrintable(after.problems.join(u'\n')));

    QStringList lost;
    for (auto it = before.counts.cbegin(); it != before.counts.cend(); ++it) {
        const int found = after.counts.value(it.key());
        if (found < it.value())
            lost.append(QStringLiteral("%1 of %2: %3")
                            .arg(it.value() - found)
                            .arg(it.value())
                            .arg(it.key()));
    }
    QStringList added;
    for (auto it = after.counts.cbegin(); it != after.counts.cend(); ++it) {
        if (it.value() > before.counts.value(it.key()) && !isEmptyWritten(it.key()))
            added.append(it.key());
    }
    QVERIFY2(lost.isEmpty(), qPrintable(QStringLiteral("lost:\n") + lost.join(u'\n')));
    QVERIFY2(added.isEmpty(), qPrintable(QStringLiteral("added:\n") + added.join(u'\n')));

    // Exactly one build date, the save's own.
    QCOMPARE(after.buildDates, QStringList{QStringLiteral("rss/channel/lastBuildDate text=\"%1\" ")
                                               .arg(BuildDate::text(fixedMoment()))});
}

void tst_RoundTrip::feed_keptContentKeepsItsOrder_data() {
    feed_everyElementAndAttributeSurvivesSave_data();
}

void tst_RoundTrip::feed_keptContentKeepsItsOrder() {
    QFETCH(QString, path);
    PodcastDocument document;
    const QString loadProblems = load(path, document);
    QVERIFY2(loadProblems.isEmpty(), qPrintable(loadProblems));
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("Podcast.xml"));
    const QString saveProblems = save(document, out);
    QVERIFY2(saveProblems.isEmpty(), qPrintable(saveProblems));
    const XmlDoc input = parse(readAll(path));
    const XmlDoc output = parse(readAll(out));
    QVERIFY(input && output);
    const Inventory before(input.get());
    const Inventory after(output.get());

    // What is lost is the other test's finding; here only the order counts.
    const auto common = [&](QStringList children) {
        children.removeIf([&](const QString &key) {
            return !before.counts.contains(key) || !after.counts.contains(key);
        });
        return children;
    };
    QStringList moved;
    for (auto it = before.order.cbegin(); it != before.order.cend(); ++it) {
        QList<QStringList> candidates;
        for (const QStringList &children : after.order.value(it.key()))
            candidates.append(common(children));
        for (QStringList children : it.value()) {
            children = common(children);
            if (children.isEmpty() || candidates.removeOne(children))
                continue;
            moved.append(QStringLiteral("inside %1:\n  file:  %2\n  saved: %3")
                             .arg(it.key(), children.join(QStringLiteral("\n         ")),
                                  candidates.isEmpty()
                                      ? QString()
                                      : candidates.first().join(QStringLiteral("\n         "))));
        }
    }
    QVERIFY2(moved.isEmpty(), qPrintable(moved.join(u'\n')));
}

void tst_RoundTrip::feed_uneditedSaveKeepsEveryByteButTheBuildDate_data() {
    feed_everyElementAndAttributeSurvivesSave_data();
}

// Indentation, line ends, quotes, CDATA sections, comments and references
// all stay as the file had them; a file in another encoding becomes UTF-8,
// its declaration saying so.
void tst_RoundTrip::feed_uneditedSaveKeepsEveryByteButTheBuildDate() {
    QFETCH(QString, path);
    PodcastDocument document;
    QVERIFY(load(path, document).isEmpty());
    QVERIFY(document.source());
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("Podcast.xml"));
    QVERIFY(save(document, out).isEmpty());
    const std::optional<QByteArray> input = FeedSource::utf8Text(readAll(path));
    QVERIFY(input);
    QCOMPARE(FeedFiles::withoutBuildDate(readAll(out)), FeedFiles::withoutBuildDate(*input));
}

void tst_RoundTrip::feed_editedSaveReadsBackAsEdited_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("seed");
    const QDir folder(roundTripFolder());
    for (const QString &name :
         folder.entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name)) {
        for (int seed = 1; seed <= 8; ++seed)
            QTest::newRow(qPrintable(QStringLiteral("%1 #%2").arg(name).arg(seed)))
                << folder.filePath(name) << seed;
    }
}

// Random edits of every kind a user makes, then a save: the file reads back
// as exactly the document that was saved.
void tst_RoundTrip::feed_editedSaveReadsBackAsEdited() {
    QFETCH(QString, path);
    QFETCH(int, seed);
    PodcastDocument document;
    QVERIFY(load(path, document).isEmpty());
    QRandomGenerator random{quint32(seed)};
    const QStringList values{QString(), QStringLiteral("New value"), QStringLiteral("A &amp; B"),
                             QStringLiteral("caf\u00e9 \u2014 line"), QStringLiteral("x")};
    const auto value = [&] { return values[random.bounded(int(values.size()))]; };
    for (int edit = 0; edit < 6; ++edit) {
        const qsizetype count = document.episodeCount();
        switch (random.bounded(6)) {
        case 0:
            document.setField(random.bounded(ChannelField::Count), value());
            break;
        case 1:
            if (count > 0)
                document.setEpisodeColumn(1 + random.bounded(int(count)),
                                          1 + random.bounded(EpisodeColumn::Count - 1), value());
            break;
        case 2:
            if (count > 1)
                document.removeEpisode(1 + random.bounded(int(count)));
            break;
        case 3:
            if (count > 1)
                document.moveEpisodes(1 + random.bounded(int(count)), 1,
                                      1 + random.bounded(int(count)));
            break;
        default: {
            Episode episode;
            episode[EpisodeColumn::Title] = QStringLiteral("Added %1").arg(edit);
            episode[1 + random.bounded(EpisodeColumn::Count - 1)] = QStringLiteral("v");
            document.insertEpisodes(1 + random.bounded(int(count) + 1), {episode});
            break;
        }
        }
    }
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("edited.xml"));
    const QString problems = save(document, out);
    QVERIFY2(problems.isEmpty(), qPrintable(problems));
    PodcastDocument reloaded;
    QVERIFY(load(out, reloaded).isEmpty());
    for (int k = 0; k < ChannelField::Count; ++k)
        QCOMPARE(reloaded.field(k), document.field(k));
    QCOMPARE(reloaded.episodeCount(), document.episodeCount());
    for (qsizetype n = 1; n <= document.episodeCount(); ++n)
        QCOMPARE(reloaded.episode(n).columns(), document.episode(n).columns());
}

void tst_RoundTrip::feed_secondSaveGivesSameBytes_data() {
    feed_everyElementAndAttributeSurvivesSave_data();
}

void tst_RoundTrip::feed_secondSaveGivesSameBytes() {
    QFETCH(QString, path);
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.xml"));
    const QString second = dir.filePath(QStringLiteral("second.xml"));
    {
        PodcastDocument document;
        const QString problems = load(path, document);
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
        const QString saveProblems = save(document, first);
        QVERIFY2(saveProblems.isEmpty(), qPrintable(saveProblems));
    }
    PodcastDocument reloaded;
    const QString problems = load(first, reloaded);
    QVERIFY2(problems.isEmpty(), qPrintable(problems));
    const QString saveProblems = save(reloaded, second);
    QVERIFY2(saveProblems.isEmpty(), qPrintable(saveProblems));

    const QList<QByteArray> a = withoutBuildDate(readAll(first)).split('\n');
    const QList<QByteArray> b = withoutBuildDate(readAll(second)).split('\n');
    for (qsizetype i = 0; i < qMin(a.size(), b.size()); ++i) {
        if (a[i] != b[i])
            QFAIL(qPrintable(QStringLiteral("line %1 differs:\nfirst:  %2\nsecond: %3")
                                 .arg(i + 1)
                                 .arg(QString::fromUtf8(a[i]), QString::fromUtf8(b[i]))));
    }
    QCOMPARE(b.size(), a.size());
}

void tst_RoundTrip::loadingTwice_keepsBothFilesEpisodeContent_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QByteArray>("second"); // a file name, or the feed itself
    QTest::addColumn<bool>("secondHasChannelContent");

    QTest::newRow("two feeds, different prefixes") << QStringLiteral("03-podcasting-namespace.xml")
                                                   << QByteArray("09-other-prefixes.xml") << true;
    QTest::newRow("one prefix for two namespaces")
        << QStringLiteral("09-other-prefixes.xml")
        << QByteArray("<?xml version=\"1.0\"?>\n"
                      "<rss version=\"2.0\" xmlns:c=\"urn:example:chapters\">\n<channel>\n"
                      "<title>Other</title>\n<item><title>Chaptered</title>"
                      "<c:chapter start=\"0\">Intro</c:chapter>"
                      "<c:chapter start=\"95\">Main</c:chapter></item>\n</channel>\n</rss>")
        << false;
    QTest::newRow("feed without kept channel content second")
        << QStringLiteral("01-hosted-cdata-show-notes.xml")
        << QByteArray("<?xml version=\"1.0\"?>\n<rss version=\"2.0\">\n<channel>\n"
                      "<title>Plain</title>\n<item><title>Plain one</title><guid>p1</guid></item>\n"
                      "</channel>\n</rss>")
        << false;
}

// Loading is additive: the second file's episodes bring their own kept
// content, and the channel's kept content is replaced only by a file that
// has some.
void tst_RoundTrip::loadingTwice_keepsBothFilesEpisodeContent() {
    QFETCH(QString, first);
    QFETCH(QByteArray, second);
    QFETCH(bool, secondHasChannelContent);
    QTemporaryDir dir;
    const QString firstPath = roundTripFolder() + u'/' + first;
    QString secondPath = roundTripFolder() + u'/' + QString::fromUtf8(second);
    if (second.startsWith("<?xml")) {
        secondPath = dir.filePath(QStringLiteral("second.xml"));
        QVERIFY(writeAll(secondPath, second));
    }

    PodcastDocument document;
    QVERIFY(load(firstPath, document).isEmpty());
    const QByteArray firstChannelExtra = document.channelExtra();
    QVERIFY(load(secondPath, document).isEmpty());
    if (!secondHasChannelContent)
        QCOMPARE(document.channelExtra(), firstChannelExtra);
    const QString out = dir.filePath(QStringLiteral("Podcast.xml"));
    const QString problems = save(document, out);
    QVERIFY2(problems.isEmpty(), qPrintable(problems));

    // Items are numbered afresh in the combined list, so compare them
    // without their numbers.
    static const QRegularExpression itemNumber(QStringLiteral("/item\\[\\d+\\]"));
    const auto episodeContent = [](const QByteArray &bytes) {
        const XmlDoc doc = parse(bytes);
        QMap<QString, int> counts;
        if (!doc)
            return counts;
        const Inventory inventory(doc.get());
        for (auto it = inventory.counts.cbegin(); it != inventory.counts.cend(); ++it) {
            if (it.key().startsWith(QStringLiteral("rss/channel/item")))
                counts[QString(it.key()).replace(itemNumber, QStringLiteral("/item"))] +=
                    it.value();
        }
        return counts;
    };
    QMap<QString, int> expected = episodeContent(readAll(firstPath));
    const QMap<QString, int> fromSecond = episodeContent(readAll(secondPath));
    for (auto it = fromSecond.cbegin(); it != fromSecond.cend(); ++it)
        expected[it.key()] += it.value();
    const QMap<QString, int> saved = episodeContent(readAll(out));
    QVERIFY2(!saved.isEmpty(), "the saved file is not well-formed");
    QStringList lost;
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        if (saved.value(it.key()) < it.value())
            lost.append(QStringLiteral("%1 of %2: %3")
                            .arg(it.value() - saved.value(it.key()))
                            .arg(it.value())
                            .arg(it.key()));
    }
    QVERIFY2(lost.isEmpty(), qPrintable(QStringLiteral("lost:\n") + lost.join(u'\n')));
}

void tst_RoundTrip::editorMadeFeed_keepsNothingAndSavesUnchanged() {
    PodcastDocument made;
    const QStringList fields{QStringLiteral("Kettle &amp; Hob"),
                             QStringLiteral("https://kettle.example.com/?a=1&amp;b=2"),
                             QStringLiteral("en-gb"),
                             QStringLiteral("© 2026 Kettle"),
                             QStringLiteral("Tea, toast &amp; talk"),
                             QStringLiteral("Brewing it’s own"),
                             QStringLiteral("Ada Kettle"),
                             QStringLiteral("One pot at a time."),
                             QStringLiteral("Food &amp; Drink"),
                             QStringLiteral("Ada Kettle"),
                             QStringLiteral("ada@kettle.example.com"),
                             QStringLiteral("https://kettle.example.com/c.jpg")};
    for (int i = 0; i < ChannelField::Count; ++i)
        made.setField(i, fields[i]);
    for (int n = 1; n <= 2; ++n) {
        const qsizetype number = made.appendEpisode(QStringLiteral("Q&amp;A %1 — Łódź").arg(n));
        for (int c = 1; c < EpisodeColumn::Count; ++c)
            made.setEpisodeColumn(number, c, QStringLiteral("E%1 C%2 ✓").arg(n).arg(c));
    }
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.xml"));
    QVERIFY(save(made, first).isEmpty());
    const QByteArray bytes = readAll(first);
    QVERIFY(bytes.contains("\r\n<rss xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\" "
                           "version=\"2.0\">\r\n"));
    QCOMPARE(bytes.count("xmlns:"), 1);
    QCOMPARE(bytes.count("\r\n"), 18 + 2 * 13 + 1);

    PodcastDocument loaded;
    const QString problems = load(first, loaded);
    QVERIFY2(problems.isEmpty(), qPrintable(problems));
    QCOMPARE(loaded.channelExtra(), QByteArray());
    QCOMPARE(loaded.hiddenItems(), QByteArray());
    QCOMPARE(loaded.prolog(), QByteArray());
    QVERIFY(loaded.namespaces().isEmpty());
    for (int i = 0; i < ChannelField::Count; ++i)
        QCOMPARE(loaded.field(i), made.field(i));
    QCOMPARE(loaded.episodeCount(), made.episodeCount());
    for (qsizetype n = 1; n <= made.episodeCount(); ++n) {
        QCOMPARE(loaded.episode(n).columns(), made.episode(n).columns());
        QCOMPARE(loaded.episode(n).extra(), QByteArray());
    }
    const QString second = dir.filePath(QStringLiteral("second.xml"));
    QVERIFY(save(loaded, second).isEmpty());
    QCOMPARE(readAll(second), bytes);
}

void tst_RoundTrip::sample_savesBackByteForByte() {
    const QString sample =
        qEnvironmentVariable("BRINDLEWOOD_SOURCE_DIR") + QStringLiteral("/Samples/Podcast.xml");
    const QByteArray original = readAll(sample);
    QVERIFY(!original.isEmpty());
    PodcastDocument document;
    const QString problems = load(sample, document);
    QVERIFY2(problems.isEmpty(), qPrintable(problems));
    // The sample carries what the directories ask for beyond the fields.
    QVERIFY(document.channelExtra().startsWith("<itunes:explicit>false</itunes:explicit>"));
    QCOMPARE(document.hiddenItems(), QByteArray());
    QCOMPARE(document.prolog(), QByteArray());
    QCOMPARE(document.namespaces(),
             (PodcastDocument::Namespaces{{u"atom"_qs, u"http://www.w3.org/2005/Atom"_qs}}));
    for (const Episode &episode : document.episodes())
        QCOMPARE(episode.extra(), QByteArray());

    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("Podcast.xml"));
    QVERIFY(save(document, out).isEmpty());
    QCOMPARE(withoutBuildDate(readAll(out)), withoutBuildDate(original));
}

void tst_RoundTrip::loadedValue_heldInTheFormItIsWritten_data() {
    QTest::addColumn<QByteArray>("channel");
    QTest::addColumn<QByteArray>("item");
    QTest::addColumn<int>("field");  // -1: the value is in the first episode
    QTest::addColumn<int>("column"); // -1: the value is a channel field
    QTest::addColumn<QString>("held");

    const auto episode = [](const char *name, const QByteArray &item, int column,
                            const QString &held) {
        QTest::newRow(name) << QByteArray("<title>Show</title>") << item << -1 << column << held;
    };
    const auto channel = [](const char *name, const QByteArray &channel, int field,
                            const QString &held) {
        QTest::newRow(name) << channel << QByteArray("<title>E</title>") << field << -1 << held;
    };

    // Element text: & < > escaped whatever their form, everything else itself.
    episode("ampersand reference", "<title>Q&amp;A</title>", EpisodeColumn::Title,
            QStringLiteral("Q&amp;A"));
    episode("ampersand as a numeric reference", "<title>Q&#38;A</title>", EpisodeColumn::Title,
            QStringLiteral("Q&amp;A"));
    episode("ampersand in CDATA", "<title><![CDATA[Q&A]]></title>", EpisodeColumn::Title,
            QStringLiteral("Q&amp;A"));
    episode("double-escaped ampersand", "<title>Q&amp;amp;A</title>", EpisodeColumn::Title,
            QStringLiteral("Q&amp;amp;A"));
    episode("decimal reference", "<title>Land&#8217;s End</title>", EpisodeColumn::Title,
            QStringLiteral("Land’s End"));
    episode("hexadecimal reference", "<title>A&#x2014;B</title>", EpisodeColumn::Title,
            QStringLiteral("A—B"));
    episode("character beyond the basic plane", "<title>Waves &#x1F30A;</title>",
            EpisodeColumn::Title, QStringLiteral("Waves 🌊"));
    episode("less-than and greater-than references", "<title>a &lt; b &gt; c</title>",
            EpisodeColumn::Title, QStringLiteral("a &lt; b &gt; c"));
    episode("bare greater-than", "<title>a > b</title>", EpisodeColumn::Title,
            QStringLiteral("a &gt; b"));
    episode("quotation marks in text stay", "<title>\"Hi\" &amp; 'bye'</title>",
            EpisodeColumn::Title, QStringLiteral("\"Hi\" &amp; 'bye'"));
    episode("trimmed", "<title>\n      Padded title\t \r\n   </title>", EpisodeColumn::Title,
            QStringLiteral("Padded title"));
    episode("summary with escaped paragraph",
            "<title>E</title><itunes:summary>&lt;p&gt;Hi&lt;/p&gt;</itunes:summary>",
            EpisodeColumn::Summary, QStringLiteral("&lt;p&gt;Hi&lt;/p&gt;"));
    episode("summary with markup stays markup",
            "<title>E</title><itunes:summary>See <a href=\"https://x.example/\">this</a> &amp; "
            "more</itunes:summary>",
            EpisodeColumn::Summary,
            QStringLiteral("See <a href=\"https://x.example/\">this</a> &amp; more"));
    // Line ends: XML reads CR LF and a lone CR as a line feed, in CDATA too;
    // only a reference keeps a carriage return.
    channel("CR LF in CDATA", "<description><![CDATA[one\r\ntwo\rthree]]></description>",
            ChannelField::Description, QStringLiteral("one\ntwo\nthree"));
    channel("carriage return reference", "<copyright>a&#13;b</copyright>", ChannelField::Copyright,
            QStringLiteral("a\rb"));
    channel("CDATA paragraph in description",
            "<description><![CDATA[<p>Hi & bye</p>]]></description>", ChannelField::Description,
            QStringLiteral("&lt;p&gt;Hi &amp; bye&lt;/p&gt;"));
    channel("escaped paragraph in description", "<description>&lt;p&gt;Hi&lt;/p&gt;</description>",
            ChannelField::Description, QStringLiteral("&lt;p&gt;Hi&lt;/p&gt;"));
    channel("ampersand in a category", "<itunes:category text=\"Society &amp; Culture\"/>",
            ChannelField::Category, QStringLiteral("Society &amp; Culture"));

    // Attribute values: & < " escaped, tab, line feed and carriage return
    // references kept as references.
    const auto enclosure = [&](const char *name, const QByteArray &attributes, int column,
                               const QString &held) {
        episode(name, "<title>E</title><enclosure " + attributes + "/>", column, held);
    };
    enclosure("query string", "url=\"https://x.example/a.mp3?a=1&amp;b=2\"", EpisodeColumn::Url,
              QStringLiteral("https://x.example/a.mp3?a=1&amp;b=2"));
    enclosure("less-than in an attribute", "url=\"https://x.example/?q=&lt;3\"", EpisodeColumn::Url,
              QStringLiteral("https://x.example/?q=&lt;3"));
    enclosure("quotation mark in a single-quoted attribute", "type='audio/mpeg; codecs=\"mp3\"'",
              EpisodeColumn::Type, QStringLiteral("audio/mpeg; codecs=&quot;mp3&quot;"));
    enclosure("quotation mark reference", "type=\"a&quot;b\"", EpisodeColumn::Type,
              QStringLiteral("a&quot;b"));
    enclosure("apostrophe and greater-than stay", "type=\"it's>\"", EpisodeColumn::Type,
              QStringLiteral("it's>"));
    enclosure("tab reference", "length=\"1&#9;2\"", EpisodeColumn::Length,
              QStringLiteral("1&#9;2"));
    enclosure("line feed reference", "length=\"1&#10;2\"", EpisodeColumn::Length,
              QStringLiteral("1&#10;2"));
    enclosure("carriage return reference", "length=\"1&#xD;2\"", EpisodeColumn::Length,
              QStringLiteral("1&#13;2"));
    enclosure("literal tab is a blank after normalisation", "length=\"1\t2\"",
              EpisodeColumn::Length, QStringLiteral("1 2"));
    enclosure("accented letter reference", "url=\"https://x.example/caf&#233;.mp3\"",
              EpisodeColumn::Url, QStringLiteral("https://x.example/café.mp3"));
    channel("tab reference in a category", "<itunes:category text=\"Leisure&#9;Hobbies\"/>",
            ChannelField::Category, QStringLiteral("Leisure&#9;Hobbies"));
    channel("ampersand in an image link",
            "<itunes:image href=\"https://x.example/c.jpg?w=1&amp;h=1\"/>", ChannelField::ImageLink,
            QStringLiteral("https://x.example/c.jpg?w=1&amp;h=1"));
}

void tst_RoundTrip::loadedValue_heldInTheFormItIsWritten() {
    QFETCH(QByteArray, channel);
    QFETCH(QByteArray, item);
    QFETCH(int, field);
    QFETCH(int, column);
    QFETCH(QString, held);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.xml"));
    QVERIFY(writeAll(path, feed(channel, item)));
    PodcastDocument document;
    const QString problems = load(path, document);
    QVERIFY2(problems.isEmpty(), qPrintable(problems));
    if (field >= 0) {
        QCOMPARE(document.field(field), held);
    } else {
        QCOMPARE(document.episodeCount(), 1);
        QCOMPARE(document.episode(1)[column], held);
    }

    // What is held is what the next save writes and the next load reads.
    const QString out = dir.filePath(QStringLiteral("out.xml"));
    const QString saveProblems = save(document, out);
    QVERIFY2(saveProblems.isEmpty(), qPrintable(saveProblems));
    PodcastDocument reloaded;
    QVERIFY(load(out, reloaded).isEmpty());
    if (field >= 0)
        QCOMPARE(reloaded.field(field), held);
    else
        QCOMPARE(reloaded.episode(1)[column], held);

    // The same held value written anew in the fixed layout comes back too.
    document.setSource(nullptr);
    const QString fixed = dir.filePath(QStringLiteral("fixed.xml"));
    QVERIFY(save(document, fixed).isEmpty());
    PodcastDocument again;
    QVERIFY(load(fixed, again).isEmpty());
    if (field >= 0)
        QCOMPARE(again.field(field), held);
    else
        QCOMPARE(again.episode(1)[column], held);
}

void tst_RoundTrip::dump_givesKeptContent_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("inChannel");
    QTest::addColumn<QStringList>("inFirstEpisode");
    QTest::addColumn<QStringList>("hidden");

    QTest::newRow("podcast namespace")
        << QStringLiteral("03-podcasting-namespace.xml")
        << QStringList{QStringLiteral("valueRecipient"), QStringLiteral("Keep the transmitter on"),
                       QStringLiteral("rel=\"self\"")}
        << QStringList{QStringLiteral("sg-014.vtt"), QStringLiteral("The moment the fog lifted")}
        << QStringList{};
    QTest::newRow("untitled items")
        << QStringLiteral("07-untitled-items.xml") << QStringList{QStringLiteral("podcast.rss")}
        << QStringList{QStringLiteral("perfect fifth")}
        << QStringList{QStringLiteral("nsn-note-2025-06-13"),
                       QStringLiteral("Dispatch 87 (audio only)"), QStringLiteral("nsn-outtakes")};
}

void tst_RoundTrip::dump_givesKeptContent() {
    QFETCH(QString, file);
    QFETCH(QStringList, inChannel);
    QFETCH(QStringList, inFirstEpisode);
    QFETCH(QStringList, hidden);

    QProcess process;
    process.start(QStringLiteral(BRINDLEWOOD_FEED_EXE),
                  {QStringLiteral("dump"), roundTripFolder() + u'/' + file});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    QJsonParseError error;
    const QJsonObject dump =
        QJsonDocument::fromJson(process.readAllStandardOutput(), &error).object();
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));

    const QJsonArray episodes = dump.value(QStringLiteral("episodes")).toArray();
    QVERIFY(!episodes.isEmpty());
    for (const QJsonValue &episode : episodes)
        QCOMPARE(episode.toArray().size(), EpisodeColumn::Count);

    QVERIFY(dump.value(QStringLiteral("channelExtra")).isString());
    const QString channelExtra = dump.value(QStringLiteral("channelExtra")).toString();
    for (const QString &text : inChannel)
        QVERIFY2(channelExtra.contains(text), qPrintable(text + u'\n' + channelExtra));

    QVERIFY(dump.value(QStringLiteral("episodeExtras")).isArray());
    const QJsonArray extras = dump.value(QStringLiteral("episodeExtras")).toArray();
    QCOMPARE(extras.size(), episodes.size());
    for (const QJsonValue &extra : extras)
        QVERIFY(extra.isString());
    for (const QString &text : inFirstEpisode)
        QVERIFY2(extras.first().toString().contains(text),
                 qPrintable(text + u'\n' + extras.first().toString()));

    QVERIFY(dump.value(QStringLiteral("hiddenItems")).isString());
    const QString hiddenItems = dump.value(QStringLiteral("hiddenItems")).toString();
    QCOMPARE(hiddenItems.isEmpty(), hidden.isEmpty());
    for (const QString &text : hidden)
        QVERIFY2(hiddenItems.contains(text), qPrintable(text + u'\n' + hiddenItems));
}

QTEST_GUILESS_MAIN(tst_RoundTrip)
#include "tst_roundtrip.moc"
