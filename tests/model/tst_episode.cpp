#include "model/Episode.h"

#include <QTest>

using namespace Qt::StringLiterals;
namespace E = EpisodeColumn;

namespace {
bool pointsInto(QByteArrayView value, const QByteArray &text) {
    return value.isEmpty() ||
           (value.data() >= text.constData() && value.data() + value.size() <= text.constEnd());
}

std::array<QByteArrayView, E::Count> valuesFrom(const QByteArray &text,
                                                const QList<std::pair<int, QByteArray>> &spans) {
    std::array<QByteArrayView, E::Count> values;
    for (const auto &[column, bytes] : spans) {
        const qsizetype at = text.indexOf(bytes);
        values[size_t(column)] = QByteArrayView(text).sliced(at, bytes.size());
    }
    return values;
}
} // namespace

class tst_Episode : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void setValues_sharesOnlyWhenEveryValueIsInside_data();
    void setValues_sharesOnlyWhenEveryValueIsInside();
    void setValue_leavesTheOthersAndTheSharedText();
    void setValue_fromItsOwnValue();
    void sameValues_whereverHeld();
    void extraNodes_keptInTheSharedTextUntilItGoes();
    void extraNodes_elsewhereAreCopied();
    void longValues_anySizeAnyDistance_data();
    void longValues_anySizeAnyDistance();
};

void tst_Episode::setValues_sharesOnlyWhenEveryValueIsInside_data() {
    QTest::addColumn<bool>("oneOutside");
    QTest::addColumn<bool>("shares");
    QTest::newRow("all inside") << false << true;
    QTest::newRow("one made elsewhere") << true << false;
}

void tst_Episode::setValues_sharesOnlyWhenEveryValueIsInside() {
    QFETCH(bool, oneOutside);
    QFETCH(bool, shares);
    const QByteArray text("<item><title>Zürich — one</title><guid>g-1</guid></item>");
    std::array<QByteArrayView, E::Count> values =
        valuesFrom(text, {{E::Title, "Zürich — one"}, {E::Guid, "g-1"}});
    const QByteArray made("made");
    if (oneOutside)
        values[E::Summary] = made;
    Episode episode;
    episode.setValues(values, text);
    QCOMPARE(episode[E::Title], u"Zürich — one"_s);
    QCOMPARE(episode[E::Guid], u"g-1"_s);
    QCOMPARE(episode[E::Summary], oneOutside ? u"made"_s : QString());
    QCOMPARE(episode[E::Author], QString());
    QCOMPARE(pointsInto(episode.view(E::Title), text), shares);
    QVERIFY(!pointsInto(episode.view(E::Summary), made) || !oneOutside);
}

void tst_Episode::setValue_leavesTheOthersAndTheSharedText() {
    const QByteArray text("<title>One</title><guid>g-1</guid>");
    const QByteArray before = text;
    Episode episode;
    episode.setValues(valuesFrom(text, {{E::Title, "One"}, {E::Guid, "g-1"}}), text);
    const Episode copy = episode;
    episode[E::Title] = u"Two & more"_s;
    QCOMPARE(episode[E::Title], u"Two & more"_s);
    QCOMPARE(episode[E::Guid], u"g-1"_s);
    QVERIFY(!pointsInto(episode.view(E::Guid), text));
    // The copy and the text it shares are untouched.
    QCOMPARE(copy[E::Title], u"One"_s);
    QVERIFY(pointsInto(copy.view(E::Title), text));
    QCOMPARE(text, before);
}

void tst_Episode::setValue_fromItsOwnValue() {
    Episode episode;
    episode[E::Title] = u"Title"_s;
    episode[E::Summary] = u"Summary"_s;
    episode.setValue(E::Guid, episode.view(E::Summary));
    episode.setValue(E::Summary, episode.view(E::Title));
    QCOMPARE(episode[E::Guid], u"Summary"_s);
    QCOMPARE(episode[E::Summary], u"Title"_s);
    QCOMPARE(episode[E::Title], u"Title"_s);
}

void tst_Episode::sameValues_whereverHeld() {
    const QByteArray text("<title>One</title><author>Zoë</author>");
    Episode shared;
    shared.setValues(valuesFrom(text, {{E::Title, "One"}, {E::Author, "Zoë"}}), text);
    Episode own;
    own[E::Title] = u"One"_s;
    own[E::Author] = u"Zoë"_s;
    QVERIFY(shared.sameValues(own));
    QVERIFY(shared == own);
    own.setExtra("<a/>");
    QVERIFY(shared.sameValues(own));
    QVERIFY(!(shared == own));
    own[E::Author] = u"Zoe"_s;
    QVERIFY(!shared.sameValues(own));
    // Empty and never set are the same text.
    Episode blank;
    Episode emptied;
    emptied[E::Title] = u"x"_s;
    emptied[E::Title] = QString();
    QVERIFY(blank.sameValues(emptied));
}

void tst_Episode::extraNodes_keptInTheSharedTextUntilItGoes() {
    const QByteArray text("<item><title>One</title>\n  <a>1</a>\n  <!-- c --><b x=\"2\" /></item>");
    Episode episode;
    episode.setValues(valuesFrom(text, {{E::Title, "One"}}), text);
    const QByteArrayView a = QByteArrayView(text).sliced(text.indexOf("<a>"), 8);
    const QByteArrayView b = QByteArrayView(text).sliced(text.indexOf("<b "), 11);
    episode.setExtraNodes({a, b});
    const QByteArray block("<a>1</a>\n<b x=\"2\" />");
    QCOMPARE(episode.extra(), block);
    QCOMPARE(episode.extraSize(), block.size());
    QVERIFY(episode.hasExtra());
    const QList<QByteArrayView> pieces = episode.extraPieces();
    QCOMPARE(pieces.size(), 2);
    QVERIFY(pointsInto(pieces[0], text) && pointsInto(pieces[1], text));

    Episode owned;
    owned.setExtra(block);
    QVERIFY(episode.sameExtra(owned) && owned.sameExtra(episode));
    const Episode copy = episode;
    QVERIFY(copy.sameExtra(episode));

    // A value of its own takes the kept content out of the text with it.
    episode[E::Title] = u"Two"_s;
    QCOMPARE(episode.extra(), block);
    QVERIFY(!pointsInto(episode.extraPieces().first(), text));
    QVERIFY(episode.sameExtra(copy));
    episode.setExtra(QByteArray());
    QVERIFY(!episode.hasExtra());
    QCOMPARE(episode.extraSize(), 0);
}

void tst_Episode::extraNodes_elsewhereAreCopied() {
    const QByteArray text("<title>One</title>");
    const QByteArray other("<a>1</a>");
    Episode episode;
    episode.setValues(valuesFrom(text, {{E::Title, "One"}}), text);
    episode.setExtraNodes({QByteArrayView(other), QByteArrayView(other)});
    QCOMPARE(episode.extra(), QByteArray("<a>1</a>\n<a>1</a>"));
    QVERIFY(!pointsInto(episode.extraPieces().first(), other));
    episode.setExtraNodes({});
    QVERIFY(!episode.hasExtra());
}

void tst_Episode::longValues_anySizeAnyDistance_data() {
    QTest::addColumn<qsizetype>("summary"); // bytes
    QTest::addColumn<qsizetype>("between"); // bytes between the title and the guid
    QTest::addColumn<bool>("shares");
    QTest::newRow("short, close") << qsizetype(10) << qsizetype(10) << true;
    QTest::newRow("just under 64 KB apart") << qsizetype(10) << qsizetype(65000) << true;
    QTest::newRow("far apart") << qsizetype(10) << qsizetype(70000) << false;
    QTest::newRow("a value of 70 KB") << qsizetype(70000) << qsizetype(10) << false;
    QTest::newRow("a value of 64 KB exactly") << qsizetype(65535) << qsizetype(0) << true;
}

void tst_Episode::longValues_anySizeAnyDistance() {
    QFETCH(qsizetype, summary);
    QFETCH(qsizetype, between);
    QFETCH(bool, shares);
    const QByteArray long_(summary, 's');
    const QByteArray text =
        "<title>T</title>" + QByteArray(between, ' ') + "<guid>G</guid><s>" + long_ + "</s>";
    std::array<QByteArrayView, E::Count> values;
    values[E::Title] = QByteArrayView(text).sliced(text.indexOf("T<"), 1);
    values[E::Guid] = QByteArrayView(text).sliced(text.indexOf("G<"), 1);
    values[E::Summary] = QByteArrayView(text).sliced(text.indexOf("<s>") + 3, summary);
    Episode episode;
    episode.setValues(values, text);
    QCOMPARE(pointsInto(episode.view(E::Title), text), shares);
    QCOMPARE(episode.view(E::Title), QByteArrayView("T"));
    QCOMPARE(episode.view(E::Guid), QByteArrayView("G"));
    QCOMPARE(episode.view(E::Summary), QByteArrayView(long_));
    QCOMPARE(episode.view(E::Author), QByteArrayView());
    // And once a value is set, in the buffer of its own.
    episode[E::Author] = u"Zoë"_s;
    QCOMPARE(episode[E::Author], u"Zoë"_s);
    QCOMPARE(episode.view(E::Summary), QByteArrayView(long_));
    QCOMPARE(episode.view(E::Guid), QByteArrayView("G"));
    episode[E::Summary] = QString();
    QCOMPARE(episode.view(E::Summary), QByteArrayView());
    QCOMPARE(episode[E::Author], u"Zoë"_s);
}

QTEST_APPLESS_MAIN(tst_Episode)
#include "tst_episode.moc"
