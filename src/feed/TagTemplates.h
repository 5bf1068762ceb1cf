#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The tags directories ask for that the form has no box for, ready to insert
// into "More Tags". Each is a well-formed fragment with the well-known
// prefixes, its values taken from the document where it has them and
// otherwise examples for the user to replace.
namespace TagTemplates {
struct Template {
    QString menuText;
    QString xml;
};

// What the templates fill in.
struct Context {
    QString feedAddress;  // the feed's own address, when known
    QString websiteLink;  // the Link field
    QString ownerEmail;   // the Owner Email field
    QString episodeTitle; // the episode's Title box
    QString episodeUrl;   // the episode's URL box
    qsizetype episodeNumber = 0;
};

QList<Template> podcast(const Context &context);
QList<Template> episode(const Context &context);

enum class Scope { Podcast, Episode };
// The tags that stand at most once in a channel or an item: inserting one
// replaces the one there is.
QStringList singleTags(Scope scope);
// The name of the first element in xml, such as "itunes:explicit".
QString tagOf(const QString &xml);

// The podcast:guid of a feed: the UUID v5 of its address without the scheme
// and trailing slashes, in the Podcast Index namespace.
QString podcastGuid(const QString &feedAddress);

// The address an atom:link rel="self" or itunes:new-feed-url in a block of
// kept content gives the feed; empty when there is none.
QString feedAddressIn(const QString &text);
} // namespace TagTemplates
