#include "FeedCheckCategories.h"

#include "AppleCategories.h"
#include "FeedCheckInput.h"
#include "FeedCheckValues.h"
#include "KeptContentReader.h"
#include "model/PodcastDocument.h"

using Place = FeedFinding::Place;
using namespace FeedCheckValues;
using AppleCategories::Category;
using AppleCategories::isRetired;
using AppleCategories::isRetiredSubcategory;
using AppleCategories::isSubcategoryOf;
using AppleCategories::parentOf;

namespace FeedCheckCategories {
namespace {
const Category *findCategory(const QString &name) {
    return AppleCategories::find(name);
}

QString unknownCategoryMessage(const QString &name, bool inField) {
    if (const Category *parent = parentOf(name)) {
        return QStringLiteral("\"%1\" is a sub-category of %2: the category is %2.")
            .arg(name, inField ? written(QString::fromLatin1(parent->name))
                               : QString::fromLatin1(parent->name));
    }
    return QStringLiteral("\"%1\" is not one of Apple's categories.").arg(name);
}

// Each sub-category in the kept content with the name of its category: those
// inside the written category's holder, and those of every further category.
template<typename Function>
void forEachSubcategory(const FeedCheckInput &input, Function function) {
    bool holderSeen = false;
    for (const XmlNode &node : input.elements(0, KeptContentReader::Itunes, u"category"_qs)) {
        QString categoryName;
        if (KeptContentReader::hasAttribute(node, u"text"_qs)) {
            categoryName = KeptContentReader::attribute(node, u"text"_qs);
        } else if (!holderSeen) {
            // Carries the sub-categories of the category in the field.
            holderSeen = true;
            categoryName = unescaped(input.document.field(ChannelField::Category));
        } else {
            continue;
        }
        for (const XmlNode &sub : input.children(node, KeptContentReader::Itunes, u"category"_qs))
            function(categoryName, KeptContentReader::attribute(sub, u"text"_qs));
    }
}
} // namespace

void channelCategoryMissing(const FeedCheckInput &input) {
    if (input.document.field(ChannelField::Category).trimmed().isEmpty())
        input.report(Place::ofField(ChannelField::Category),
                     u"The podcast has no category; Apple requires one of its categories."_qs);
}

void channelCategoryUnknown(const FeedCheckInput &input) {
    const QString category = input.document.field(ChannelField::Category);
    if (!category.trimmed().isEmpty()) {
        // The field is written as it stands, so an ampersand has to be typed
        // as a reference.
        if (category.contains(u'&') && !category.contains(QStringLiteral("&amp;")) &&
            findCategory(category)) {
            input.report(Place::ofField(ChannelField::Category),
                         QStringLiteral("Write the category as \"%1\".").arg(written(category)));
        } else if (!findCategory(unescaped(category)) || written(unescaped(category)) != category) {
            if (!isRetired(unescaped(category)))
                input.report(Place::ofField(ChannelField::Category),
                             unknownCategoryMessage(category, true));
        }
    }
    for (const XmlNode &node : input.elements(0, KeptContentReader::Itunes, u"category"_qs)) {
        if (!KeptContentReader::hasAttribute(node, u"text"_qs))
            continue;
        const QString text = KeptContentReader::attribute(node, u"text"_qs);
        if (!findCategory(text) && !isRetired(text))
            input.report(Place::ofTag(u"itunes:category"_qs), unknownCategoryMessage(text, false));
    }
}

void channelCategoryRetired(const FeedCheckInput &input) {
    const QString category = unescaped(input.document.field(ChannelField::Category));
    if (isRetired(category) && !findCategory(category))
        input.report(Place::ofField(ChannelField::Category),
                     QStringLiteral("\"%1\" is no longer one of Apple's categories.")
                         .arg(input.document.field(ChannelField::Category)));
    for (const XmlNode &node : input.elements(0, KeptContentReader::Itunes, u"category"_qs)) {
        const QString text = KeptContentReader::attribute(node, u"text"_qs);
        if (KeptContentReader::hasAttribute(node, u"text"_qs) && isRetired(text) &&
            !findCategory(text))
            input.report(
                Place::ofTag(u"itunes:category"_qs),
                QStringLiteral("\"%1\" is no longer one of Apple's categories.").arg(text));
    }
    forEachSubcategory(input, [&](const QString &categoryName, const QString &text) {
        const Category *category = findCategory(categoryName);
        if (category && !isSubcategoryOf(*category, text) && isRetiredSubcategory(text))
            input.report(Place::ofTag(u"itunes:category"_qs),
                         QStringLiteral("\"%1\" is no longer a sub-category of %2.")
                             .arg(text, categoryName));
    });
}

void channelSubcategoryUnknown(const FeedCheckInput &input) {
    forEachSubcategory(input, [&](const QString &categoryName, const QString &text) {
        const Category *category = findCategory(categoryName);
        if (category && !isSubcategoryOf(*category, text) && !isRetiredSubcategory(text))
            input.report(
                Place::ofTag(u"itunes:category"_qs),
                QStringLiteral("\"%1\" is not a sub-category of %2.").arg(text, categoryName));
    });
}

} // namespace FeedCheckCategories
