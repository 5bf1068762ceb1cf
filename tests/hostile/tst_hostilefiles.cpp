#include "support/RecordingErrorReporter.h"
#include "support/ScriptedFileDialogs.h"
#include "support/ScriptedMessageService.h"

#include "feed/FeedText.h"
#include "feed/LoadPodcast.h"
#include "model/PodcastDocument.h"

#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

// Broken and hostile feed files: each one either shows "Fail to load XML."
// and leaves the document exactly as it was, or loads cleanly; none may
// crash, hang, or make the loader read anything but the chosen file.
class tst_HostileFiles : public QObject {
    Q_OBJECT

public:
    enum class Kind {
        EntityBomb,
        EntityBombInAttribute,
        QuadraticBlowup,
        ExternalFileEntity,
        ExternalHttpEntity,
        ExternalDtd,
        ParameterEntity,
        InternalParameterEntity,
        XInclude,
        DeepNesting,
        HugeTextNode,
        InvalidUtf8,
        NulBytes,
        EmptyFile,
        Directory,
        Unreadable,
        Missing,
        Truncated,
        BrokenLastItem,
    };
    Q_ENUM(Kind)

    enum class Outcome { Fails, LoadsCleanly };
    Q_ENUM(Outcome)

private Q_SLOTS:
    void initTestCase();
    void loadPodcastCommand_hostileFile_failsOrLoadsCleanly_data();
    void loadPodcastCommand_hostileFile_failsOrLoadsCleanly();

private:
    QString makeFile(Kind kind);

    QTemporaryDir m_dir;
    QString m_canaryPath;
    QTcpServer m_server;
};

namespace {
const QByteArray Canary = "CANARY-5d41402abc4b2a76";
const QString FailText = QStringLiteral("Fail to load XML.");

void fillBefore(PodcastDocument &document) {
    for (int i = 0; i < ChannelField::Count; ++i)
        document.setField(i, QStringLiteral("kept %1").arg(i));
    for (int n = 1; n <= 2; ++n) {
        document.appendEpisode(QStringLiteral("kept episode %1").arg(n));
        for (int column = 1; column < EpisodeColumn::Count; ++column)
            document.setEpisodeColumn(n, column, QStringLiteral("kept %1.%2").arg(n).arg(column));
    }
    document.setDocumentChanged(false);
}

QStringList snapshot(const PodcastDocument &document) {
    QStringList texts;
    for (int i = 0; i < ChannelField::Count; ++i)
        texts.append(document.field(i));
    for (const Episode &episode : document.episodes())
        for (const QString &column : episode.columns)
            texts.append(column);
    return texts;
}

// A plain feed around `titleXml` (inserted as markup), with `prolog` before the root.
QByteArray feed(const QByteArray &prolog, const QByteArray &titleXml) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n" + prolog +
           "\n<rss xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\" "
           "version=\"2.0\"><channel><title>" +
           titleXml + "</title><item><title>Loaded</title></item></channel></rss>";
}

QByteArray generatedFeed(int episodes) {
    PodcastDocument document;
    document.setField(ChannelField::Title, QStringLiteral("From the file"));
    document.setField(ChannelField::Summary, QStringLiteral("Überall"));
    for (int n = 1; n <= episodes; ++n)
        document.appendEpisode(QStringLiteral("Episode %1").arg(n));
    return FeedText::build(document, QStringLiteral("Fri, 01 Mar 2024 06:30:00 +0000")).toUtf8();
}

bool writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray fileUrl(const QString &path) {
    return QUrl::fromLocalFile(path).toEncoded();
}
} // namespace

void tst_HostileFiles::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_canaryPath = m_dir.filePath(QStringLiteral("canary.txt"));
    QVERIFY(writeFile(m_canaryPath, Canary));
    QVERIFY(m_server.listen(QHostAddress::LocalHost));
}

QString tst_HostileFiles::makeFile(Kind kind) {
    const QString path = m_dir.filePath(QStringLiteral("feed-%1.xml").arg(int(kind)));
    const QByteArray canaryUrl = fileUrl(m_canaryPath);
    const QByteArray httpUrl =
        "http://127.0.0.1:" + QByteArray::number(m_server.serverPort()) + "/podcast-1.0.dtd";
    QByteArray bytes;
    switch (kind) {
    case Kind::EntityBomb:
    case Kind::EntityBombInAttribute: {
        QByteArray dtd = "<!DOCTYPE rss [\n<!ENTITY e0 \"lollollollollol\">\n";
        for (int i = 1; i < 10; ++i)
            dtd += "<!ENTITY e" + QByteArray::number(i) + " \"" +
                   QByteArray("&e" + QByteArray::number(i - 1) + ";").repeated(10) + "\">\n";
        bytes = feed(dtd + "]>", "&e9;");
        if (kind == Kind::EntityBombInAttribute)
            bytes.replace("<channel>", "<channel><itunes:category text=\"&e9;\"/>");
        break;
    }
    case Kind::QuadraticBlowup:
        // One entity of 100,000 characters, referenced 100,000 times.
        bytes = feed("<!DOCTYPE rss [<!ENTITY big \"" + QByteArray(100'000, 'q') + "\">]>",
                     QByteArray("&big;").repeated(100'000));
        break;
    case Kind::ExternalFileEntity:
        bytes = feed("<!DOCTYPE rss [<!ENTITY ext SYSTEM \"" + canaryUrl + "\">]>", "A&ext;B");
        break;
    case Kind::ExternalHttpEntity:
        bytes = feed("<!DOCTYPE rss [<!ENTITY ext SYSTEM \"" + httpUrl + "\">]>", "A&ext;B");
        break;
    case Kind::ExternalDtd:
        bytes = feed("<!DOCTYPE rss SYSTEM \"" + canaryUrl + "\">", "Plain");
        break;
    case Kind::ParameterEntity:
        bytes = feed("<!DOCTYPE rss [<!ENTITY % p SYSTEM \"" + canaryUrl + "\"> %p;]>", "Plain");
        break;
    case Kind::InternalParameterEntity:
        bytes = feed("<!DOCTYPE rss [<!ENTITY % p \"<!ENTITY t 'inner'>\"> %p;]>", "Plain");
        break;
    case Kind::XInclude:
        bytes = feed({}, "<xi:include xmlns:xi=\"http://www.w3.org/2001/XInclude\" href=\"" +
                             canaryUrl + "\" parse=\"text\"/>Plain");
        break;
    case Kind::DeepNesting:
        bytes = "<rss><channel>" + QByteArray("<a>").repeated(100'000) +
                QByteArray("</a>").repeated(100'000) +
                "<title>Plain</title><item><title>Loaded</title></item></channel></rss>";
        break;
    case Kind::HugeTextNode:
        bytes = feed({}, QByteArray(50 * 1024 * 1024, 'x'));
        break;
    case Kind::InvalidUtf8:
        bytes = feed({}, "caf\xC3\x28 \xFF\xFE");
        break;
    case Kind::NulBytes:
        bytes = feed({}, QByteArray("Pl\0ain", 6));
        break;
    case Kind::EmptyFile:
        break;
    case Kind::Directory:
        return m_dir.path();
    case Kind::Unreadable:
        bytes = generatedFeed(2);
        if (!writeFile(path, bytes) || !QFile::setPermissions(path, QFileDevice::Permissions()))
            return {};
        return path;
    case Kind::Missing:
        return m_dir.filePath(QStringLiteral("no such feed.xml"));
    case Kind::Truncated:
        bytes = generatedFeed(40);
        bytes.truncate(bytes.size() / 2);
        break;
    case Kind::BrokenLastItem: {
        bytes = generatedFeed(40);
        const qsizetype lastClose = bytes.lastIndexOf("</item>");
        bytes.remove(lastClose, qsizetype(sizeof "</item>") - 1);
        break;
    }
    }
    return writeFile(path, bytes) ? path : QString();
}

void tst_HostileFiles::loadPodcastCommand_hostileFile_failsOrLoadsCleanly_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<Outcome>("outcome");
    // For a clean load: the channel title read and the one episode appended.
    QTest::addColumn<QString>("title");

    const QString plain = QStringLiteral("Plain");
    QTest::newRow("entity expansion bomb") << Kind::EntityBomb << Outcome::Fails << QString();
    QTest::newRow("entity expansion bomb in an attribute")
        << Kind::EntityBombInAttribute << Outcome::Fails << QString();
    QTest::newRow("quadratic blow-up") << Kind::QuadraticBlowup << Outcome::Fails << QString();
    // An external entity is refused rather than read or silently dropped.
    QTest::newRow("external entity, file")
        << Kind::ExternalFileEntity << Outcome::Fails << QString();
    QTest::newRow("external entity, http")
        << Kind::ExternalHttpEntity << Outcome::Fails << QString();
    QTest::newRow("external DTD") << Kind::ExternalDtd << Outcome::LoadsCleanly << plain;
    QTest::newRow("parameter entity, file")
        << Kind::ParameterEntity << Outcome::LoadsCleanly << plain;
    QTest::newRow("parameter entity, internal")
        << Kind::InternalParameterEntity << Outcome::LoadsCleanly << plain;
    // The include element stays markup in the title, as written, and is never followed.
    QTest::newRow("XInclude is not followed")
        << Kind::XInclude << Outcome::LoadsCleanly
        << QStringLiteral("<xi:include href=\"%1\" parse=\"text\" />Plain")
               .arg(QString::fromUtf8(fileUrl(m_canaryPath)));
    QTest::newRow("100,000 levels deep") << Kind::DeepNesting << Outcome::Fails << QString();
    QTest::newRow("50 MB text node")
        << Kind::HugeTextNode << Outcome::LoadsCleanly << QString(50 * 1024 * 1024, u'x');
    QTest::newRow("invalid UTF-8") << Kind::InvalidUtf8 << Outcome::Fails << QString();
    QTest::newRow("NUL bytes") << Kind::NulBytes << Outcome::Fails << QString();
    QTest::newRow("empty file") << Kind::EmptyFile << Outcome::Fails << QString();
    QTest::newRow("a directory") << Kind::Directory << Outcome::Fails << QString();
    QTest::newRow("unreadable") << Kind::Unreadable << Outcome::Fails << QString();
    QTest::newRow("gone after the dialog") << Kind::Missing << Outcome::Fails << QString();
    QTest::newRow("truncated") << Kind::Truncated << Outcome::Fails << QString();
    QTest::newRow("well-formed up to its last item")
        << Kind::BrokenLastItem << Outcome::Fails << QString();
}

void tst_HostileFiles::loadPodcastCommand_hostileFile_failsOrLoadsCleanly() {
    QFETCH(Kind, kind);
    QFETCH(Outcome, outcome);
    QFETCH(QString, title);

    if (kind == Kind::Unreadable && ::geteuid() == 0)
        QSKIP("root reads files without read permission");
    const QString path = makeFile(kind);
    QVERIFY(!path.isEmpty());

    // An access time older than the modification time: any read updates it,
    // also on relatime mounts.
    const struct utimbuf past { ::time(nullptr) - 86'400, ::time(nullptr) };
    QCOMPARE(::utime(QFile::encodeName(m_canaryPath).constData(), &past), 0);

    PodcastDocument document;
    fillBefore(document);
    const QStringList before = snapshot(document);
    QSignalSpy fieldSpy(&document, &PodcastDocument::fieldChanged);
    QSignalSpy rowSpy(&document, &PodcastDocument::rowsInserted);
    ScriptedFileDialogs dialogs;
    dialogs.paths = {path};
    ScriptedMessageService messages;
    RecordingErrorReporter errors;

    loadPodcastCommand(document, dialogs, messages, errors);

    QVERIFY(errors.reports.isEmpty());
    if (outcome == Outcome::Fails) {
        QCOMPARE(messages.texts(), QStringList{FailText});
        QCOMPARE(snapshot(document), before);
        QCOMPARE(fieldSpy.count(), 0);
        QCOMPARE(rowSpy.count(), 0);
        QVERIFY(!document.DocumentChanged());
    } else {
        QCOMPARE(messages.texts(), QStringList());
        QCOMPARE(document.field(ChannelField::Title).size(), title.size());
        QVERIFY(document.field(ChannelField::Title) == title);
        QCOMPARE(document.episodeCount(), 3);
        QCOMPARE(document.episode(3)[EpisodeColumn::Title], QStringLiteral("Loaded"));
    }

    // Nothing but the chosen file was read or fetched.
    for (const QString &text : snapshot(document))
        QVERIFY(!text.contains(QLatin1StringView(Canary)));
    struct stat canary {};
    QCOMPARE(::stat(QFile::encodeName(m_canaryPath).constData(), &canary), 0);
    QCOMPARE(canary.st_atime, past.actime);
    QVERIFY(!m_server.hasPendingConnections());
    QVERIFY(!m_server.waitForNewConnection(0));
}

QTEST_GUILESS_MAIN(tst_HostileFiles)
#include "tst_hostilefiles.moc"
