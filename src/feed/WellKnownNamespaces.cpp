#include "WellKnownNamespaces.h"

#include <algorithm>

namespace WellKnownNamespaces {
const Namespaces &all() {
    static const Namespaces known{
        {QStringLiteral("itunes"), Itunes},
        {QStringLiteral("podcast"), PodcastIndex},
        {QStringLiteral("atom"), Atom},
        {QStringLiteral("content"), QStringLiteral("http://purl.org/rss/1.0/modules/content/")},
        {QStringLiteral("googleplay"),
         QStringLiteral("http://www.google.com/schemas/play-podcasts/1.0")},
        {QStringLiteral("media"), QStringLiteral("http://search.yahoo.com/mrss/")},
        {QStringLiteral("psc"), QStringLiteral("http://podlove.org/simple-chapters")},
        {QStringLiteral("spotify"), QStringLiteral("http://www.spotify.com/ns/rss")},
        {QStringLiteral("dc"), QStringLiteral("http://purl.org/dc/elements/1.1/")},
        {QStringLiteral("sy"), QStringLiteral("http://purl.org/rss/1.0/modules/syndication/")},
    };
    return known;
}

Namespaces declaredWith(const Namespaces &document) {
    Namespaces declared;
    // Not a structured binding: clang before 16 cannot capture one (the fuzz build).
    for (const auto &binding : all()) {
        const bool rebound = std::any_of(document.begin(), document.end(), [&](const auto &pair) {
            return pair.first == binding.first;
        });
        if (!rebound)
            declared.append(binding);
    }
    declared.append(document);
    return declared;
}
} // namespace WellKnownNamespaces
