#include "feed/FeedCheckValues.h"

#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;
using namespace FeedCheckValues;

// The value checks judge the usual forms without QUrl or a pattern; they
// must answer as QUrl and the patterns do.
class tst_FeedCheckValues : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void address_judgedAsQUrlJudgesIt_data();
    void address_judgedAsQUrlJudgesIt();
    void date_readAsThePatternReadsIt_data();
    void date_readAsThePatternReadsIt();
    void uriReferenceAndMimeType_data();
    void uriReferenceAndMimeType();
};

void tst_FeedCheckValues::address_judgedAsQUrlJudgesIt_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("plain"); // judged without QUrl
    const auto row = [](const QString &address, bool plain) {
        QTest::newRow(qPrintable(address)) << address << plain;
    };
    row(u"https://e.org/a.mp3"_s, true);
    row(u"http://media.example.com:8080/ep/1.MP3?x=1&y=2#t"_s, true);
    row(u"https://a-b.c/d(1)/e'f!$*+,;=:@~_.m4a"_s, true);
    row(u"https://e.org"_s, true);
    row(u"https://e.org?q=/a.mp3"_s, true);
    row(u"https://E.Example.ORG/A.Mp3"_s, true);
    row(u"https://e.org/%41.mp3"_s, true);
    row(u"https://e.org/dir.v2/file"_s, true);
    row(u"https://1.2.3.4/a.mp3"_s, false);
    row(u"https://999.1.1.1/a"_s, false);
    row(u"https://-a.org/"_s, false);
    row(u"https://a-.org/"_s, false);
    row(u"https://a..org/"_s, false);
    row(u"https://.org/"_s, false);
    row(u"https://e.org:99999/"_s, false);
    row(u"https://e.org:/"_s, false);
    row(u"https://e.org/a b.mp3"_s, false);
    row(u"https://e.org/ä.mp3"_s, false);
    row(u"https://bücher.example/a.mp3"_s, false);
    row(u"https://e.org/%4"_s, false);
    row(u"https://e.org/%zz"_s, false);
    row(u"https://e.org/a#b#c"_s, false);
    row(u"https://user@e.org/"_s, false);
    row(u"https://e_o.org/"_s, false);
    row(u"HTTP://e.org/a.mp3"_s, false);
    row(u"https://e.org/[x]"_s, false);
    row(u"https://e.org/a\"b"_s, false);
    row(u"ftp://e.org/a.mp3"_s, false);
    row(u"urn:brindlewood:episode:1"_s, false);
    row(u"e.org/a.mp3"_s, false);
    row(u"https:/e.org"_s, false);
    row(u"https://"_s, false);
    row(QString(), false);
}

void tst_FeedCheckValues::address_judgedAsQUrlJudgesIt() {
    QFETCH(QString, address);
    QFETCH(bool, plain);
    const std::optional<PlainAddress> parts = plainAddress(address);
    QCOMPARE(parts.has_value(), plain);

    const QUrl strict(address, QUrl::StrictMode);
    const QString scheme = strict.scheme().toLower();
    const bool http = !address.isEmpty() && !hasInnerBlank(address) && strict.isValid() &&
                      (scheme == u"http" || scheme == u"https") && !strict.host().isEmpty();
    QCOMPARE(isHttpAddress(address), http);

    const QUrl tolerant(address);
    const QString path = tolerant.isValid() ? tolerant.path() : address;
    const QString name = path.section(u'/', -1);
    const qsizetype dot = name.lastIndexOf(u'.');
    QCOMPARE(extensionOf(address), dot < 0 ? QString() : name.mid(dot + 1).toLower());
    if (parts && !parts->encoded)
        QCOMPARE(parts->path.toString(), tolerant.path());
}

void tst_FeedCheckValues::date_readAsThePatternReadsIt_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("utc"); // empty: not a date
    QTest::addColumn<bool>("form");   // has the form RFC 822 gives
    const auto row = [](const QString &text, const QString &utc, bool form) {
        QTest::newRow(qPrintable(text)) << text << utc << form;
    };
    row(u"Mon, 05 Feb 2024 06:00:00 +0000"_s, u"2024-02-05T06:00:00Z"_s, true);
    row(u"Mon, 5 Feb 2024 06:00:00 +0100"_s, u"2024-02-05T05:00:00Z"_s, true);
    row(u"5 Feb 2024 06:00 -0130"_s, u"2024-02-05T07:30:00Z"_s, true);
    row(u"  Mon, 05 Feb 2024 06:00:00 GMT \n"_s, u"2024-02-05T06:00:00Z"_s, true);
    row(u"Mon, 05 Feb 2024 06:00:00 EST"_s, u"2024-02-05T11:00:00Z"_s, true);
    row(u"Mon, 05 Feb 2024 06:00:00 Z"_s, u"2024-02-05T06:00:00Z"_s, true);
    row(u"Mon, 05 Feb 2024 06:00:00 UT"_s, u"2024-02-05T06:00:00Z"_s, true);
    row(u"Mon, 05 Feb 2024 06:00:60 +0000"_s, u"2024-02-05T06:00:59Z"_s, true);
    row(u"Mon,  05  Feb 2024 06:00:00 +0000"_s, u"2024-02-05T06:00:00Z"_s, true);
    row(u"Mon,05 Feb 2024 06:00:00 +0000"_s, u"2024-02-05T06:00:00Z"_s, true);
    row(u"Mon, 05 Feb 2024\t06:00:00 +0000"_s, u"2024-02-05T06:00:00Z"_s, false);
    row(u"Tue, 05 Feb 2024 06:00:00 +0000"_s, QString(), true);
    row(u"Mon, 31 Feb 2024 06:00:00 +0000"_s, QString(), true);
    row(u"Mon, 05 Feb 2024 24:00:00 +0000"_s, QString(), true);
    row(u"Mon, 05 Feb 2024 06:00:00 +0060"_s, QString(), true);
    row(u"Mon, 05 Feb 24 06:00:00 +0000"_s, QString(), true);
    row(u"Mon, 05 feb 2024 06:00:00 +0000"_s, QString(), false);
    row(u"Mon, 05 Feb 2024 06:00:00 XYZ"_s, QString(), false);
    row(u"Mon, 05 Feb 2024 06:00:00"_s, QString(), false);
    row(u"Mon, 005 Feb 2024 06:00:00 +0000"_s, QString(), false);
    row(u"Mon, 05 Feb 2024 6:00:00 +0000"_s, QString(), false);
    row(u"2024-02-05T06:00:00Z"_s, QString(), false);
}

void tst_FeedCheckValues::date_readAsThePatternReadsIt() {
    QFETCH(QString, text);
    QFETCH(QString, utc);
    QFETCH(bool, form);
    const QDateTime date = parseRfc2822(text);
    QCOMPARE(date.isValid() ? date.toUTC().toString(Qt::ISODate) : QString(), utc);
    QCOMPARE(hasRfc822Form(text), form);
}

void tst_FeedCheckValues::uriReferenceAndMimeType_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("reference");
    QTest::addColumn<bool>("mime");
    const auto row = [](const char *name, const QString &text, bool reference, bool mime) {
        QTest::newRow(name) << text << reference << mime;
    };
    row("type", u"audio/mpeg"_s, true, true);
    row("address", u"https://e.org/a?b=1&c=2#x"_s, true, false);
    row("urn", u"urn:uuid:1234"_s, true, false);
    row("relative with parentheses", u"../a(1)/b.mp3"_s, true, false);
    row("blank inside", u"audio /mpeg"_s, false, false);
    row("no subtype", u"audio/"_s, true, false);
    row("no type", u"/mpeg"_s, true, false);
    row("two slashes", u"a/b/c"_s, true, false);
    row("parameter", u"audio/mpeg;x=1"_s, true, false);
    row("escaped ampersand read as one", u"aud&amp;io/x"_s, true, true);
    row("control character", u"audio/mp\u0001eg"_s, false, true);
    row("NUL", QString(u"audio/mp\0eg"_s), false, true);
    row("non-ASCII", u"audio/mpëg"_s, false, true);
    row("line end after it", u"audio/mpeg\n"_s, true, true);
    row("quote", u"audio/\"mpeg\""_s, false, false);
    row("empty", QString(), false, false);
}

void tst_FeedCheckValues::uriReferenceAndMimeType() {
    QFETCH(QString, text);
    QFETCH(bool, reference);
    QFETCH(bool, mime);
    QCOMPARE(isUriReference(text), reference);
    QCOMPARE(isMimeType(text), mime);
}

QTEST_GUILESS_MAIN(tst_FeedCheckValues)
#include "tst_feedcheckvalues.moc"
