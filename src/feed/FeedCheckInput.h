#pragma once

#include "FeedFinding.h"
#include "xml/XmlNode.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>

class PodcastDocument;

// What a rule kept outside FeedCheck.cpp sees of a check: the document, its
// kept elements, and where findings go.
struct FeedCheckInput {
    using Elements = std::function<QList<XmlNode>(qsizetype number, const QString &namespaceName,
                                                  const QString &localName)>;
    using Report = std::function<void(const FeedFinding::Place &place, const QString &message)>;

    const PodcastDocument &document;
    // The kept elements of the channel (number 0) or of episode `number`.
    Elements elements;
    Report report;
    // Which publication dates lie in the future.
    QDateTime now;
    // Episode `number`'s publication date as parseRfc2822 reads it, read
    // once for every rule that asks.
    std::function<QDateTime(qsizetype number)> publicationDate;
    // Whether episode `number` keeps two or more top-level elements of this
    // local name, whatever their prefix: a quick look before elements().
    std::function<bool(qsizetype number, QByteArrayView localName)> keepsTwice;
    // The children of a kept element of the channel.
    std::function<QList<XmlNode>(const XmlNode &parent, const QString &namespaceName,
                                 const QString &localName)>
        children;
};
