#include "feed/BuildDate.h"
#include "feed/MediaEpisode.h"
#include "feed/MediaFile.h"
#include "feed/MediaSource.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class tst_MediaEpisode : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fixture_matchesStatFileAndSoxi_data();
    void fixture_matchesStatFileAndSoxi();
    void title_fromTagElseFileName_data();
    void title_fromTagElseFileName();
    void unreadableMedia_stillAnEpisodeWithoutDuration();
    void missingOrFolder_givesNoEpisode_data();
    void missingOrFolder_givesNoEpisode();
    void previousEpisode_givesFolderAndSharedColumns();
    void noPrevious_leavesUrlAndSharedColumnsEmpty();
    void urlBase_replacesPreviousFolder_data();
    void urlBase_replacesPreviousFolder();
    void dateAndGuid_freshForEachEpisode();
    void urlBeside_replacesLastSegment_data();
    void urlBeside_replacesLastSegment();
    void durationText_roundsToWholeSeconds_data();
    void durationText_roundsToWholeSeconds();
    void kind_tellsMediaFeedAndOther_data();
    void kind_tellsMediaFeedAndOther();
    void content_decidesNotName_data();
    void content_decidesNotName();
    void specialFiles_refusedWithoutBlocking_data();
    void specialFiles_refusedWithoutBlocking();
    void nonUtf8Name_readAndAddressedByItsBytes();
    void budgetSpent_episodeWithoutDuration();
    void changedWhileRead_refused_data();
    void changedWhileRead_refused();
    void characterXmlCannotHold_droppedAndCounted_data();
    void characterXmlCannotHold_droppedAndCounted();
    void xmlCharactersOnly_keepsWhatXmlHolds_data();
    void xmlCharactersOnly_keepsWhatXmlHolds();
    void urlBaseProblem_onlyPlainHttpFolders_data();
    void urlBaseProblem_onlyPlainHttpFolders();
};

namespace {
QString media(const QString &name) {
    return qEnvironmentVariable("BRINDLEWOOD_TEST_DATA") + QStringLiteral("/media/") + name;
}

QDateTime fixedNow() {
    return QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53), QTimeZone(3600));
}

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QByteArray &path, const QByteArray &bytes) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && written;
}

QByteArray syncsafe(quint32 size) {
    QByteArray bytes(4, '\0');
    for (int i = 3; i >= 0; --i, size >>= 7)
        bytes[i] = char(size & 0x7f);
    return bytes;
}

// An ID3v2.4 tag whose title frame holds title as UTF-8, before the frames
// of an untagged MP3.
QByteArray mp3Titled(const QByteArray &title) {
    const QByteArray text = '\x03' + title;
    const QByteArray frame = "TIT2" + syncsafe(quint32(text.size())) + QByteArray(2, '\0') + text;
    return "ID3\x04" + QByteArray(2, '\0') + syncsafe(quint32(frame.size())) + frame +
           readAll(media(QStringLiteral("untagged.mp3")));
}

Episode previousEpisode() {
    Episode previous;
    previous[EpisodeColumn::Title] = QStringLiteral("Grafting in the Frost");
    previous[EpisodeColumn::Author] = QStringLiteral("Mairéad &amp; Tom");
    previous[EpisodeColumn::Subtitle] = QStringLiteral("Not copied");
    previous[EpisodeColumn::Summary] = QStringLiteral("Not copied either");
    previous[EpisodeColumn::Url] =
        QStringLiteral("https://orchard.example.org/audio/001-grafting.mp3?src=rss&amp;v=2");
    previous[EpisodeColumn::Type] = QStringLiteral("audio/mpeg");
    previous[EpisodeColumn::Length] = QStringLiteral("28734512");
    previous[EpisodeColumn::Guid] = QStringLiteral("https://orchard.example.org/episodes/001");
    previous[EpisodeColumn::PubDate] = QStringLiteral("Mon, 05 Feb 2024 06:00:00 +0000");
    previous[EpisodeColumn::Duration] = QStringLiteral("00:29:55");
    previous[EpisodeColumn::Keywords] = QStringLiteral("grafting, winter");
    previous[EpisodeColumn::Explicit] = QStringLiteral("no");
    previous[EpisodeColumn::Category] = QStringLiteral("Leisure");
    return previous;
}
} // namespace

// The expected values are what stat -c %s, file -b --mime-type and soxi -D (or
// ffprobe for MP4) said of the committed files; tests/feed/data/media/make-media
// prints them again.
void tst_MediaEpisode::fixture_matchesStatFileAndSoxi_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("duration");
    QTest::newRow("MP3 with ID3v1 and v2") << "tagged.mp3"
                                           << "3662"
                                           << "audio/mpeg"
                                           << "00:00:03";
    QTest::newRow("MP3 without tags") << "untagged.mp3"
                                      << "3384"
                                      << "audio/mpeg"
                                      << "00:00:03";
    QTest::newRow("AAC in MP4") << "aac.m4a"
                                << "7679"
                                << "audio/x-m4a"
                                << "00:00:03";
    QTest::newRow("Ogg Vorbis") << "greek.ogg"
                                << "6092"
                                << "audio/ogg"
                                << "00:00:03";
    QTest::newRow("FLAC") << "arabic.flac"
                          << "11985"
                          << "audio/flac"
                          << "00:00:03";
    QTest::newRow("WAV") << "tone.wav"
                         << "12844"
                         << "audio/x-wav"
                         << "00:00:03";
    QTest::newRow("MPEG-4 video") << "video.mp4"
                                  << "8917"
                                  << "video/mp4"
                                  << "00:00:03";
}

void tst_MediaEpisode::fixture_matchesStatFileAndSoxi() {
    QFETCH(QString, file);
    QFETCH(QString, length);
    QFETCH(QString, type);
    QFETCH(QString, duration);
    const MediaEpisode made = MediaEpisode::fromFile(media(file), nullptr, fixedNow());
    QVERIFY2(made.isValid(), qPrintable(made.error));
    QVERIFY(made.durationRead);
    QCOMPARE(made.episode[EpisodeColumn::Length], length);
    QCOMPARE(made.episode[EpisodeColumn::Type], type);
    QCOMPARE(made.episode[EpisodeColumn::Duration], duration);
}

void tst_MediaEpisode::title_fromTagElseFileName_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("title");
    QTest::newRow("ID3 title") << "tagged.mp3"
                               << "Frost Grafting";
    QTest::newRow("Japanese, UTF-16 ID3v2") << "japanese.mp3"
                                            << "果樹園の霜";
    QTest::newRow("Greek, Vorbis comment") << "greek.ogg"
                                           << "Ο κήπος με τις μηλιές";
    QTest::newRow("Arabic, FLAC comment") << "arabic.flac"
                                          << "بستان التفاح";
    QTest::newRow("MP4 title atom") << "aac.m4a"
                                    << "Cider Pressing";
    QTest::newRow("video title") << "video.mp4"
                                 << "Orchard Walk";
    QTest::newRow("no tag: name without extension") << "untagged.mp3"
                                                    << "untagged";
    QTest::newRow("WAV: name") << "tone.wav"
                               << "tone";
    // Held as it will be written: a bare ampersand would make the feed unsavable.
    QTest::newRow("markup in the name") << "Episode 7 & more.mp3"
                                        << "Episode 7 &amp; more";
}

void tst_MediaEpisode::title_fromTagElseFileName() {
    QFETCH(QString, file);
    QFETCH(QString, title);
    const MediaEpisode made = MediaEpisode::fromFile(media(file), nullptr, fixedNow());
    QVERIFY2(made.isValid(), qPrintable(made.error));
    QCOMPARE(made.episode[EpisodeColumn::Title], title);
}

void tst_MediaEpisode::unreadableMedia_stillAnEpisodeWithoutDuration() {
    const QString path = media(QStringLiteral("corrupt.mp3"));
    QVERIFY(MediaFile::isMedia(path));
    const MediaEpisode made = MediaEpisode::fromFile(path, nullptr, fixedNow());
    QVERIFY(made.isValid());
    QVERIFY(!made.durationRead);
    QCOMPARE(made.episode[EpisodeColumn::Duration], QString());
    QCOMPARE(made.episode[EpisodeColumn::Title], QStringLiteral("corrupt"));
    QCOMPARE(made.episode[EpisodeColumn::Length], QStringLiteral("2058"));
    QVERIFY(!made.episode[EpisodeColumn::Guid].isEmpty());
}

void tst_MediaEpisode::missingOrFolder_givesNoEpisode_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("error");
    QTest::newRow("missing") << media(QStringLiteral("nowhere.mp3")) << "No such file or directory";
    QTest::newRow("folder") << media(QString()) << "Is a folder";
}

void tst_MediaEpisode::missingOrFolder_givesNoEpisode() {
    QFETCH(QString, path);
    QFETCH(QString, error);
    const MediaEpisode made = MediaEpisode::fromFile(path, nullptr, fixedNow());
    QVERIFY(!made.isValid());
    QCOMPARE(made.error, error);
}

void tst_MediaEpisode::previousEpisode_givesFolderAndSharedColumns() {
    const Episode previous = previousEpisode();
    const MediaEpisode made = MediaEpisode::fromFile(media(QStringLiteral("Episode 7 & more.mp3")),
                                                     &previous, fixedNow());
    QVERIFY(made.isValid());
    const Episode &episode = made.episode;
    QCOMPARE(episode[EpisodeColumn::Url],
             QStringLiteral("https://orchard.example.org/audio/Episode%207%20%26%20more.mp3"));
    for (const int column : {EpisodeColumn::Author, EpisodeColumn::Keywords,
                             EpisodeColumn::Explicit, EpisodeColumn::Category})
        QCOMPARE(episode[column], previous[column]);
    QCOMPARE(episode[EpisodeColumn::Subtitle], QString());
    QCOMPARE(episode[EpisodeColumn::Summary], QString());
    // Nothing of the previous episode's kept content; only what the new
    // urn:uuid GUID needs, so the feed check has nothing to say of it.
    QCOMPARE(episode.extra(), QByteArray("<guid isPermaLink=\"false\" />"));
}

void tst_MediaEpisode::noPrevious_leavesUrlAndSharedColumnsEmpty() {
    const MediaEpisode made =
        MediaEpisode::fromFile(media(QStringLiteral("tagged.mp3")), nullptr, fixedNow());
    for (const int column : {EpisodeColumn::Url, EpisodeColumn::Author, EpisodeColumn::Subtitle,
                             EpisodeColumn::Summary, EpisodeColumn::Keywords,
                             EpisodeColumn::Explicit, EpisodeColumn::Category})
        QCOMPARE(made.episode[column], QString());
}

void tst_MediaEpisode::urlBase_replacesPreviousFolder_data() {
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("url");
    QTest::newRow("with slash") << "https://cdn.example.net/show/"
                                << "https://cdn.example.net/show/untagged.mp3";
    QTest::newRow("slash added") << "https://cdn.example.net/show"
                                 << "https://cdn.example.net/show/untagged.mp3";
    QTest::newRow("ampersand written as reference")
        << "https://cdn.example.net/r?a=1&b="
        << "https://cdn.example.net/r?a=1&amp;b=/untagged.mp3";
}

void tst_MediaEpisode::urlBase_replacesPreviousFolder() {
    QFETCH(QString, base);
    QFETCH(QString, url);
    const Episode previous = previousEpisode();
    const MediaEpisode made =
        MediaEpisode::fromFile(media(QStringLiteral("untagged.mp3")), &previous, fixedNow(), base);
    QCOMPARE(made.episode[EpisodeColumn::Url], url);
    QCOMPARE(made.episode[EpisodeColumn::Author], previous[EpisodeColumn::Author]);
}

void tst_MediaEpisode::dateAndGuid_freshForEachEpisode() {
    const MediaEpisode first =
        MediaEpisode::fromFile(media(QStringLiteral("tone.wav")), nullptr, fixedNow());
    const MediaEpisode second =
        MediaEpisode::fromFile(media(QStringLiteral("tone.wav")), nullptr, fixedNow());
    QCOMPARE(first.episode[EpisodeColumn::PubDate], BuildDate::text(fixedNow()));
    QCOMPARE(first.episode[EpisodeColumn::PubDate],
             QStringLiteral("Sat, 14 Mar 2026 09:26:53 +0100"));
    static const QRegularExpression guid(QStringLiteral(
        "^urn:uuid:[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$"));
    QVERIFY2(guid.match(first.episode[EpisodeColumn::Guid]).hasMatch(),
             qPrintable(first.episode[EpisodeColumn::Guid]));
    QVERIFY(first.episode[EpisodeColumn::Guid] != second.episode[EpisodeColumn::Guid]);
}

void tst_MediaEpisode::urlBeside_replacesLastSegment_data() {
    QTest::addColumn<QString>("previous");
    QTest::addColumn<QString>("url");
    QTest::newRow("none") << QString() << QString();
    QTest::newRow("folder kept") << "https://a.example/audio/1.mp3"
                                 << "https://a.example/audio/n%C3%A9%20w.mp3";
    QTest::newRow("query and fragment dropped") << "https://a.example/a/1.mp3?x=1&amp;y=2#t"
                                                << "https://a.example/a/n%C3%A9%20w.mp3";
    QTest::newRow("tracking prefix kept") << "https://dts.example/redirect.mp3/a.example/1.mp3"
                                          << "https://dts.example/redirect.mp3/a.example/"
                                             "n%C3%A9%20w.mp3";
    QTest::newRow("host only") << "https://a.example"
                               << "https://a.example/n%C3%A9%20w.mp3";
    QTest::newRow("folder only") << "https://a.example/audio/"
                                 << "https://a.example/audio/n%C3%A9%20w.mp3";
    QTest::newRow("relative") << "audio/1.mp3"
                              << "audio/n%C3%A9%20w.mp3";
    QTest::newRow("bare name") << "1.mp3"
                               << "n%C3%A9%20w.mp3";
}

void tst_MediaEpisode::urlBeside_replacesLastSegment() {
    QFETCH(QString, previous);
    QFETCH(QString, url);
    QCOMPARE(MediaFile::urlBeside(previous, QStringLiteral("né w.mp3")), url);
}

void tst_MediaEpisode::durationText_roundsToWholeSeconds_data() {
    QTest::addColumn<qint64>("milliseconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << qint64(0) << "00:00:00";
    QTest::newRow("just under half") << qint64(1499) << "00:00:01";
    QTest::newRow("half rounds up") << qint64(1500) << "00:00:02";
    QTest::newRow("minute carry") << qint64(59'600) << "00:01:00";
    QTest::newRow("hour carry") << qint64(3'599'500) << "01:00:00";
    QTest::newRow("long show") << qint64((2 * 3600 + 5 * 60 + 9) * 1000) << "02:05:09";
    QTest::newRow("past 99 hours") << qint64(100LL * 3600 * 1000) << "100:00:00";
}

void tst_MediaEpisode::durationText_roundsToWholeSeconds() {
    QFETCH(qint64, milliseconds);
    QFETCH(QString, text);
    QCOMPARE(MediaFile::durationText(milliseconds), text);
}

void tst_MediaEpisode::kind_tellsMediaFeedAndOther_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("isMedia");
    QTest::addColumn<bool>("isFeed");
    QTest::newRow("mp3") << media(QStringLiteral("tagged.mp3")) << true << false;
    QTest::newRow("video") << media(QStringLiteral("video.mp4")) << true << false;
    QTest::newRow("flac") << media(QStringLiteral("arabic.flac")) << true << false;
    QTest::newRow("feed") << qEnvironmentVariable("BRINDLEWOOD_SOURCE_DIR") +
                                 QStringLiteral("/Samples/Podcast.xml")
                          << false << true;
    QTest::newRow("script") << media(QStringLiteral("make-media")) << false << false;
    QTest::newRow("folder") << media(QString()) << false << false;
}

void tst_MediaEpisode::kind_tellsMediaFeedAndOther() {
    QFETCH(QString, path);
    QFETCH(bool, isMedia);
    QFETCH(bool, isFeed);
    QCOMPARE(MediaFile::isMedia(path), isMedia);
    QCOMPARE(MediaFile::isFeed(path), isFeed);
}

void tst_MediaEpisode::content_decidesNotName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("type"); // empty: refused
    QTest::addColumn<QString>("error");
    const QByteArray mp3 = readAll(media(QStringLiteral("tagged.mp3")));
    QTest::newRow("MP3 named .txt") << "episode.txt" << mp3 << "audio/mpeg" << QString();
    QTest::newRow("MP3 without extension") << "episode" << mp3 << "audio/mpeg" << QString();
    QTest::newRow("Ogg named .mp3")
        << "greek.mp3" << readAll(media(QStringLiteral("greek.ogg"))) << "audio/ogg" << QString();
    QTest::newRow("text named .mp3") << "text.mp3" << QByteArray("Show notes.\n") << QString()
                                     << "the content is text/plain, not audio or video";
    QTest::newRow("HTML page named .mp4")
        << "page.mp4" << QByteArray("<!DOCTYPE html><html><body>Moved</body></html>") << QString()
        << "the content is text/html, not audio or video";
    QTest::newRow("PNG named .ogg")
        << "cover.ogg" << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << QString()
        << "the content is image/png, not audio or video";
    QTest::newRow("zeros named .mp3")
        << "zeros.mp3" << QByteArray(4096, '\0') << QString()
        << "the content is application/octet-stream, not audio or video";
    QTest::newRow("playlist") << "list.mp3" << QByteArray("#EXTM3U\nhttps://a.example/1.mp3\n")
                              << QString()
                              << "the content is audio/x-mpegurl (text), not audio or video";
    QTest::newRow("empty .mp3") << "empty.mp3" << QByteArray() << QString()
                                << "the file is empty, not audio or video";
}

void tst_MediaEpisode::content_decidesNotName() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, type);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QVERIFY(writeBytes(QFile::encodeName(path), bytes));
    const MediaEpisode made = MediaEpisode::fromFile(path, nullptr, fixedNow());
    QCOMPARE(made.error, error);
    QCOMPARE(made.notAudioOrVideo, !error.isEmpty());
    QCOMPARE(MediaFile::isMedia(path), error.isEmpty());
    if (made.isValid()) {
        QCOMPARE(made.episode[EpisodeColumn::Type], type);
        QCOMPARE(made.episode[EpisodeColumn::Length], QString::number(bytes.size()));
    }
}

void tst_MediaEpisode::specialFiles_refusedWithoutBlocking_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("error");
    QTest::newRow("FIFO without a writer") << "fifo"
                                           << "Is a named pipe (FIFO), not a regular file";
    QTest::newRow("endless device") << "/dev/zero"
                                    << "Is a device, not a regular file";
    QTest::newRow("symbolic link loop") << "loop"
                                        << "Too many levels of symbolic links";
    QTest::newRow("unreadable") << "unreadable"
                                << "Permission denied";
}

void tst_MediaEpisode::specialFiles_refusedWithoutBlocking() {
    QFETCH(QString, kind);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QByteArray path =
        kind.startsWith(u'/') ? QFile::encodeName(kind) : QFile::encodeName(dir.filePath(kind));
    if (kind == u"fifo") {
        QCOMPARE(::mkfifo(path.constData(), 0600), 0);
    } else if (kind == u"loop") {
        QCOMPARE(::symlink("loop", path.constData()), 0);
    } else if (kind == u"unreadable") {
        if (::geteuid() == 0)
            QSKIP("root reads any file");
        QVERIFY(writeBytes(path, readAll(media(QStringLiteral("tagged.mp3")))));
        QCOMPARE(::chmod(path.constData(), 0), 0);
    }
    const MediaEpisode made = MediaEpisode::fromFile(path, nullptr, fixedNow());
    QCOMPARE(made.error, error);
    QVERIFY(!made.notAudioOrVideo);
    QVERIFY(!MediaFile::isMedia(QFile::decodeName(path)));
}

void tst_MediaEpisode::nonUtf8Name_readAndAddressedByItsBytes() {
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.path()) + "/caf\xe9 \x01.mp3";
    QVERIFY(writeBytes(path, readAll(media(QStringLiteral("untagged.mp3")))));
    // QTemporaryDir removes by text, which names another file.
    const auto removed = qScopeGuard([&] { ::unlink(path.constData()); });
    // Through text the name would come back as other bytes, naming no file.
    QVERIFY(QFile::encodeName(QFile::decodeName(path)) != path);
    const Episode previous = previousEpisode();
    const MediaEpisode made = MediaEpisode::fromFile(path, &previous, fixedNow());
    QVERIFY2(made.isValid(), qPrintable(made.error));
    QCOMPARE(made.episode[EpisodeColumn::Url],
             QStringLiteral("https://orchard.example.org/audio/caf%E9%20%01.mp3"));
    QCOMPARE(made.episode[EpisodeColumn::Title], QStringLiteral("caf\uFFFD "));
    QCOMPARE(made.droppedCharacters, 1);
    QCOMPARE(made.episode[EpisodeColumn::Duration], QStringLiteral("00:00:03"));
}

void tst_MediaEpisode::budgetSpent_episodeWithoutDuration() {
    // An ID3 header and then nothing but zeros: TagLib would search them all
    // for a first frame.
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("hollow.mp3")));
    QVERIFY(writeBytes(path, QByteArray("ID3\x03\0\0\0\0\0\0", 10)));
    QCOMPARE(::truncate(path.constData(), 4 << 20), 0);
    const MediaSource source(path, {256 << 10, 5000});
    QVERIFY2(source.isMedia(), qPrintable(source.error()));
    const MediaEpisode made = MediaEpisode::fromSource(source, nullptr, fixedNow());
    QVERIFY2(made.isValid(), qPrintable(made.error));
    QVERIFY(made.readCutShort);
    QVERIFY(!made.durationRead);
    QCOMPARE(made.episode[EpisodeColumn::Duration], QString());
    QCOMPARE(made.episode[EpisodeColumn::Length], QString::number(4 << 20));
    QCOMPARE(made.episode[EpisodeColumn::Title], QStringLiteral("hollow"));

    // Out of time is out of budget too.
    const MediaEpisode late =
        MediaEpisode::fromSource(MediaSource(path, {8 << 20, 0}), nullptr, fixedNow());
    QVERIFY(late.isValid());
    QVERIFY(late.readCutShort);

    // The same file within a budget that covers it is judged, and not cut short.
    const MediaEpisode whole =
        MediaEpisode::fromSource(MediaSource(path, {8 << 20, 60000}), nullptr, fixedNow());
    QVERIFY(!whole.readCutShort);
}

void tst_MediaEpisode::changedWhileRead_refused_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("error");
    QTest::newRow("emptied")
        << "empty"
        << "the file changed while it was read (3384 bytes when opened, 0 now)";
    QTest::newRow("grown") << "append"
                           << "the file changed while it was read (3384 bytes when opened, 3385 "
                              "now)";
    QTest::newRow("deleted") << "delete"
                             << "the file was deleted while it was read";
    QTest::newRow("unchanged") << "none" << QString();
}

void tst_MediaEpisode::changedWhileRead_refused() {
    QFETCH(QString, change);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("live.mp3")));
    QVERIFY(writeBytes(path, readAll(media(QStringLiteral("untagged.mp3")))));
    const MediaSource source(path);
    QVERIFY(source.isMedia());
    if (change == u"empty") {
        QCOMPARE(::truncate(path.constData(), 0), 0);
    } else if (change == u"append") {
        const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        QCOMPARE(::write(fd, "x", 1), ssize_t(1));
        ::close(fd);
    } else if (change == u"delete") {
        QCOMPARE(::unlink(path.constData()), 0);
    }
    const MediaEpisode made = MediaEpisode::fromSource(source, nullptr, fixedNow());
    QCOMPARE(made.error, error);
}

void tst_MediaEpisode::characterXmlCannotHold_droppedAndCounted_data() {
    QTest::addColumn<QByteArray>("tagTitle");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("dropped");
    QTest::newRow("U+0001") << QByteArray("Frost\x01 Grafting") << "Frost Grafting" << 1;
    QTest::newRow("U+FFFE and U+FFFF")
        << QByteArray("Frost\xEF\xBF\xBE Graft\xEF\xBF\xBFing") << "Frost Grafting" << 2;
    QTest::newRow("tab kept, markup as references")
        << QByteArray("A\tB & <C>") << "A\tB &amp; &lt;C&gt;" << 0;
}

void tst_MediaEpisode::characterXmlCannotHold_droppedAndCounted() {
    QFETCH(QByteArray, tagTitle);
    QFETCH(QString, title);
    QFETCH(int, dropped);
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("tagged.mp3")));
    QVERIFY(writeBytes(path, mp3Titled(tagTitle)));
    const MediaEpisode made = MediaEpisode::fromFile(path, nullptr, fixedNow());
    QVERIFY2(made.isValid(), qPrintable(made.error));
    QCOMPARE(made.episode[EpisodeColumn::Title], title);
    QCOMPARE(made.droppedCharacters, qsizetype(dropped));
}

void tst_MediaEpisode::xmlCharactersOnly_keepsWhatXmlHolds_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<int>("dropped");
    QTest::newRow("controls") << QStringLiteral("a\u0000b\u0008c\u000Bd\u000Ce\u001Ff") << "abcdef"
                              << 5;
    QTest::newRow("tab, line feed, return kept") << "a\tb\nc\rd"
                                                 << "a\tb\nc\rd" << 0;
    QTest::newRow("noncharacters") << QStringLiteral("a\uFFFEb\uFFFFc\uFFFDd") << "abc\uFFFDd" << 2;
    QTest::newRow("lone surrogates")
        << QString(QChar(0xD800)) + u"x"_qs + QChar(0xDC00) << "x" << 2;
    QTest::newRow("pair kept") << QStringLiteral("\U0001F34F") << QStringLiteral("\U0001F34F") << 0;
}

void tst_MediaEpisode::xmlCharactersOnly_keepsWhatXmlHolds() {
    QFETCH(QString, text);
    QFETCH(QString, kept);
    QFETCH(int, dropped);
    qsizetype count = -1;
    QCOMPARE(MediaFile::xmlCharactersOnly(text, &count), kept);
    QCOMPARE(count, qsizetype(dropped));
}

void tst_MediaEpisode::urlBaseProblem_onlyPlainHttpFolders_data() {
    QTest::addColumn<QString>("base");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("https folder") << "https://cdn.example.net/show/" << true;
    QTest::newRow("http, port, no slash") << "http://cdn.example.net:8080/show" << true;
    QTest::newRow("percent-encoded path") << "https://cdn.example.net/my%20show/" << true;
    QTest::newRow("javascript") << "javascript:alert(1)" << false;
    QTest::newRow("ftp") << "ftp://cdn.example.net/show/" << false;
    QTest::newRow("relative") << "show/audio" << false;
    QTest::newRow("no host") << "https:///show/" << false;
    QTest::newRow("leading blank") << " https://cdn.example.net/" << false;
    QTest::newRow("trailing blank") << "https://cdn.example.net/ " << false;
    QTest::newRow("inner blank") << "https://cdn.example.net/my show/" << false;
    QTest::newRow("line feed") << "https://cdn.example.net/\nx" << false;
    QTest::newRow("carriage return") << "https://cdn.example.net/\r" << false;
    QTest::newRow("tab") << "https://cdn.example.net/\t" << false;
    QTest::newRow("query") << "https://cdn.example.net/r?a=1" << false;
    QTest::newRow("fragment") << "https://cdn.example.net/#top" << false;
    QTest::newRow("password") << "https://u:p@cdn.example.net/" << false;
}

void tst_MediaEpisode::urlBaseProblem_onlyPlainHttpFolders() {
    QFETCH(QString, base);
    QFETCH(bool, accepted);
    const QString problem = MediaFile::urlBaseProblem(base);
    QVERIFY2(problem.isEmpty() == accepted, qPrintable(problem));
}

QTEST_GUILESS_MAIN(tst_MediaEpisode)
#include "tst_mediaepisode.moc"
