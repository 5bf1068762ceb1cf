#include "FeedGenerator.h"

#include "feed/FeedText.h"
#include "model/PodcastDocument.h"

#include <QList>
#include <array>
#include <cstdint>

namespace FeedGenerator {
namespace {
// Our own generator: std distributions differ between standard libraries.
class Sequence {
public:
    explicit Sequence(std::uint64_t seed)
        : m_state(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull) {}

    std::uint32_t next() {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return static_cast<std::uint32_t>((m_state * 0x2545F4914F6CDD1Dull) >> 32);
    }
    int below(int bound) { return static_cast<int>(next() % static_cast<std::uint32_t>(bound)); }

private:
    std::uint64_t m_state;
};

// No markup characters: generated feeds must load back to the same document.
constexpr std::array Words = {
    u"Brindlewood", u"café",       u"Übergang", u"naïve",   u"smørrebrød", u"façade",
    u"garden",      u"Nachtigall", u"crème",    u"fjord",   u"Zürich",     u"señora",
    u"東京",        u"ラジオ",     u"Москва",   u"mélange", u"river",      u"lantern",
    u"Ελλάδα",      u"voilà",      u"harbour",  u"Ærø",     u"piñata",     u"Kraków",
    u"story",       u"night",      u"owl",      u"weaving", u"Łódź",       u"Straße",
};
constexpr std::array Categories = {u"Arts",  u"Comedy",  u"Education", u"History",
                                   u"Music", u"Science", u"Technology"};
constexpr std::array Days = {u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat", u"Sun"};
constexpr std::array Months = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                               u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};

QString words(Sequence &sequence, int count) {
    QString text;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text += u' ';
        text += QStringView(Words[sequence.below(static_cast<int>(Words.size()))]);
    }
    return text;
}

QString number(std::uint64_t value, int width) {
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

Episode makeEpisode(int index) {
    namespace E = EpisodeColumn;
    Sequence sequence(static_cast<std::uint64_t>(index) + 1);
    Episode episode;
    const QString n = QString::number(index + 1);
    episode[E::Title] = QStringLiteral("Épisode ") + n + QStringLiteral(" — ") + words(sequence, 4);
    episode[E::Author] = QStringLiteral("Zoë Brindlewood-Ødegård");
    episode[E::Subtitle] = words(sequence, 10);
    episode[E::Summary] = words(sequence, 18) + QStringLiteral(". ") + words(sequence, 6) + u'.';
    episode[E::Url] = QStringLiteral("https://media.brindlewood.example.org/episodes/") +
                      number(index + 1, 5) + QStringLiteral("-") +
                      QString::number(sequence.next(), 16) + QStringLiteral(".mp3");
    episode[E::Type] = QStringLiteral("audio/mpeg");
    episode[E::Length] = QString::number(8'000'000 + sequence.below(90'000'000));
    episode[E::Guid] = QStringLiteral("urn:brindlewood:episode:") + number(index + 1, 5) + u':' +
                       QString::number(sequence.next(), 16);
    const int day = index % 28;
    episode[E::PubDate] = QStringView(Days[index % 7]).toString() + QStringLiteral(", ") +
                          number(day + 1, 2) + u' ' +
                          QStringView(Months[(index / 28) % 12]).toString() + u' ' +
                          QString::number(2000 + index / 336) + QStringLiteral(" 06:30:00 +0100");
    episode[E::Duration] = number(sequence.below(2), 2) + u':' + number(sequence.below(60), 2) +
                           u':' + number(sequence.below(60), 2);
    episode[E::Keywords] = words(sequence, 6).replace(u' ', QStringLiteral(", "));
    episode[E::Explicit] = (index % 5 == 0) ? QStringLiteral("yes") : QStringLiteral("no");
    episode[E::Category] = QStringView(Categories[index % Categories.size()]).toString();
    return episode;
}
} // namespace

void fill(PodcastDocument &document, int episodes) {
    using namespace ChannelField;
    document.setField(Title, QStringLiteral("Brindlewood Nachtgeschichten — Ærø and more"));
    document.setField(Link, QStringLiteral("https://brindlewood.example.org/podcast/"));
    document.setField(Language, QStringLiteral("de-de"));
    document.setField(Copyright, QStringLiteral("© 2024 Zoë Brindlewood-Ødegård"));
    document.setField(Description, QStringLiteral("Geschichten für lange Nächte: ") +
                                       QStringLiteral("Grüße aus Köln, 東京 und Kraków."));
    document.setField(Subtitle, QStringLiteral("Stories über Flüsse, Fjorde und Füchse"));
    document.setField(Author, QStringLiteral("Zoë Brindlewood-Ødegård"));
    document.setField(Summary,
                      QStringLiteral("Jede Woche eine Geschichte — naïve, crème, façade."));
    document.setField(Category, QStringLiteral("Arts"));
    document.setField(OwnerName, QStringLiteral("Zoë Brindlewood-Ødegård"));
    document.setField(OwnerEmail, QStringLiteral("zoe@brindlewood.example.org"));
    document.setField(ImageLink, QStringLiteral("https://brindlewood.example.org/cover-äöü.jpg"));

    QList<Episode> batch;
    batch.reserve(episodes);
    for (int i = 0; i < episodes; ++i)
        batch.append(makeEpisode(i));
    document.appendEpisodes(std::move(batch));
}

QString buildDate() {
    // Fixed text rather than BuildDate::text(): the offset would follow the machine's zone.
    return QStringLiteral("Fri, 01 Mar 2024 06:30:00 +0000");
}

QByteArray feedBytes(int episodes) {
    PodcastDocument document;
    fill(document, episodes);
    return FeedText::build(document, buildDate()).toUtf8();
}

QByteArray richFeedBytes(int episodes) {
    PodcastDocument document;
    fill(document, episodes);
    document.setNamespaces({{u"content"_qs, u"http://purl.org/rss/1.0/modules/content/"_qs},
                            {u"podcast"_qs, u"https://podcastindex.org/namespace/1.0"_qs}});
    Sequence words(7);
    QList<Episode> episodesWithNotes = document.episodes();
    for (qsizetype n = 0; n < episodesWithNotes.size(); ++n) {
        // About 2 KB of HTML show notes, as hosts write them.
        QString notes;
        while (notes.size() < 2000) {
            notes += u"<p>"_qs;
            for (int w = 0; w < 24; ++w) {
                notes += QStringView(Words[size_t(words.below(int(Words.size())))]);
                notes += u' ';
            }
            notes += u"&amp; <a href=\"https://brindlewood.example.org/notes\">more</a></p>"_qs;
        }
        const QByteArray number = QByteArray::number(n + 1);
        QByteArray extra = "<description><![CDATA[<p>Episode " + number +
                           ": a short note with <b>markup</b> & more.</p>]]></description>\n"
                           "<content:encoded><![CDATA[" +
                           notes.toUtf8() +
                           "]]></content:encoded>\n"
                           "<itunes:image href=\"https://brindlewood.example.org/art/" +
                           number +
                           ".jpg\" />\n"
                           "<podcast:transcript url=\"https://brindlewood.example.org/t/" +
                           number +
                           ".vtt\" type=\"text/vtt\" />\n"
                           "<podcast:chapters url=\"https://brindlewood.example.org/c/" +
                           number + ".json\" type=\"application/json+chapters\" />";
        episodesWithNotes[n].setExtra(extra);
    }
    PodcastDocument rich;
    for (int i = 0; i < ChannelField::Count; ++i)
        rich.setField(i, document.field(i));
    rich.setNamespaces(document.namespaces());
    rich.appendEpisodes(std::move(episodesWithNotes));
    return FeedText::buildUtf8(rich, buildDate());
}
} // namespace FeedGenerator
