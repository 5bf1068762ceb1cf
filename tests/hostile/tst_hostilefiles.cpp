#include "support/RecordingErrorReporter.h"
#include "support/ScriptedFileDialogs.h"
#include "support/ScriptedMessageService.h"

#include "feed/FeedText.h"
#include "feed/LoadPodcast.h"
#include "model/PodcastDocument.h"

#include <QFile>
#include <QHash>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <sys/stat.h>
#include <sys/types.h>
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
        Utf7EntityBomb,
        DtdDefaultAttributes,
        ManyAttributes,
        UsAsciiHighByte,
        Utf16LoneSurrogate,
        Rss091HtmlEntity,
        Rss091UndeclaredEntity,
        InvalidByteOnLine46,
        Fifo,
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
        for (const QString &column : episode.columns())
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

// UTF-7 with every character after the declaration in base64: no '&', '<'
// or '=' is left for a look at the bytes to find.
QByteArray utf7(const QByteArray &utf8) {
    const QString text = QString::fromUtf8(utf8.sliced(utf8.indexOf("?>") + 2));
    QByteArray utf16;
    for (const QChar c : text) {
        utf16 += char(c.unicode() >> 8);
        utf16 += char(c.unicode() & 0xFF);
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-7\"?>+" +
           utf16.toBase64(QByteArray::OmitTrailingEquals) + "-";
}

const QByteArray Rss091Doctype =
    "<!DOCTYPE rss PUBLIC \"-//Netscape Communications//DTD RSS 0.91//EN\" "
    "\"http://my.netscape.com/publish/formats/rss-0.91.dtd\">";

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
    case Kind::Utf7EntityBomb:
        // 1.6 MB of file, ten billion characters expanded
        bytes = utf7(feed("<!DOCTYPE rss [<!ENTITY big \"" + QByteArray(100'000, 'q') + "\">]>",
                          QByteArray("&big;").repeated(100'000)));
        break;
    case Kind::DtdDefaultAttributes: {
        // 1.9 MB of file: a hundred 1,000-character defaults on 270,000 elements
        QByteArray attributes;
        for (int i = 0; i < 100; ++i)
            attributes += " a" + QByteArray::number(i) + " CDATA \"" + QByteArray(1000, 'd') + "\"";
        bytes = feed("<!DOCTYPE rss [<!ATTLIST x" + attributes + ">]>",
                     "Plain</title>" + QByteArray("<x/>").repeated(270'000) + "<title>");
        break;
    }
    case Kind::ManyAttributes: {
        QByteArray tag = "<x";
        for (int i = 0; i < 100'000; ++i)
            tag += " a" + QByteArray::number(i) + "=\"v\"";
        bytes = feed({}, "Plain" + tag + "/>");
        break;
    }
    case Kind::UsAsciiHighByte:
        bytes = feed({}, "caf\xE9");
        bytes.replace("encoding=\"utf-8\"", "encoding=\"us-ascii\"");
        break;
    case Kind::Utf16LoneSurrogate: {
        const QString text = QString::fromUtf8(feed({}, "caf@"))
                                 .replace(QStringLiteral("utf-8"), QStringLiteral("UTF-16"));
        bytes =
            "\xFF\xFE" + QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        bytes.replace(QByteArray("@\0", 2), QByteArray("\0\xD8", 2));
        break;
    }
    case Kind::Rss091HtmlEntity:
        bytes = feed(Rss091Doctype, "Caf&eacute;");
        break;
    case Kind::Rss091UndeclaredEntity:
        bytes = feed(Rss091Doctype, "Caf&bogus;");
        break;
    case Kind::InvalidByteOnLine46:
        bytes = feed(QByteArray("<!-- -->\n").repeated(43), "caf\xE9");
        break;
    case Kind::Fifo:
        // With no writer, opening it to read would wait for ever.
        if (::mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
            return {};
        return path;
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
    QTest::newRow("entity blow-up declared UTF-7")
        << Kind::Utf7EntityBomb << Outcome::Fails << QString();
    QTest::newRow("DTD default attributes on 270,000 elements")
        << Kind::DtdDefaultAttributes << Outcome::Fails << QString();
    QTest::newRow("100,000 attributes on one element")
        << Kind::ManyAttributes << Outcome::Fails << QString();
    QTest::newRow("us-ascii with byte 0xE9")
        << Kind::UsAsciiHighByte << Outcome::Fails << QString();
    QTest::newRow("lone surrogate in UTF-16")
        << Kind::Utf16LoneSurrogate << Outcome::Fails << QString();
    QTest::newRow("RSS 0.91 DTD, HTML entity")
        << Kind::Rss091HtmlEntity << Outcome::LoadsCleanly << QStringLiteral("Café");
    QTest::newRow("RSS 0.91 DTD, undeclared entity")
        << Kind::Rss091UndeclaredEntity << Outcome::Fails << QString();
    QTest::newRow("invalid UTF-8 on line 46")
        << Kind::InvalidByteOnLine46 << Outcome::Fails << QString();
    QTest::newRow("a FIFO") << Kind::Fifo << Outcome::Fails << QString();
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
        // The reason shown beside it, where it is the point of the case.
        static const QHash<Kind, QString> reasons{
            {Kind::Utf7EntityBomb, QStringLiteral("Entities expand")},
            {Kind::DtdDefaultAttributes, QStringLiteral("DTD default attributes")},
            {Kind::ManyAttributes, QStringLiteral("more than 10000 attributes")},
            {Kind::UsAsciiHighByte,
             QStringLiteral("Byte 0xE9 is not a character in the encoding US-ASCII")},
            {Kind::Utf16LoneSurrogate,
             QStringLiteral("Bytes 0x00 0xD8 are not a character in the encoding UTF-16LE")},
            {Kind::Rss091UndeclaredEntity, QStringLiteral("Entity 'bogus' not defined")},
            {Kind::InvalidByteOnLine46, QStringLiteral("(line 46, column ")},
            {Kind::Fifo, QStringLiteral("is not a regular file")},
        };
        const QString detail = messages.shown.first().detail;
        QVERIFY2(detail.contains(reasons.value(kind)), qPrintable(detail));
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
