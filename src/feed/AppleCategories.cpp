#include "AppleCategories.h"

#include <algorithm>

namespace AppleCategories {
namespace {
const std::initializer_list<Category> Categories{
    {"Arts", {"Books", "Design", "Fashion & Beauty", "Food", "Performing Arts", "Visual Arts"}},
    {"Business",
     {"Careers", "Entrepreneurship", "Investing", "Management", "Marketing", "Non-Profit"}},
    {"Comedy", {"Comedy Interviews", "Improv", "Stand-Up"}},
    {"Education", {"Courses", "How To", "Language Learning", "Self-Improvement"}},
    {"Fiction", {"Comedy Fiction", "Drama", "Science Fiction"}},
    {"Government", {}},
    {"History", {}},
    {"Health & Fitness",
     {"Alternative Health", "Fitness", "Medicine", "Mental Health", "Nutrition", "Sexuality"}},
    {"Kids & Family", {"Education for Kids", "Parenting", "Pets & Animals", "Stories for Kids"}},
    {"Leisure",
     {"Animation & Manga", "Automotive", "Aviation", "Crafts", "Games", "Hobbies", "Home & Garden",
      "Video Games"}},
    {"Music", {"Music Commentary", "Music History", "Music Interviews"}},
    {"News",
     {"Business News", "Daily News", "Entertainment News", "News Commentary", "Politics",
      "Sports News", "Tech News"}},
    {"Religion & Spirituality",
     {"Buddhism", "Christianity", "Hinduism", "Islam", "Judaism", "Religion", "Spirituality"}},
    {"Science",
     {"Astronomy", "Chemistry", "Earth Sciences", "Life Sciences", "Mathematics",
      "Natural Sciences", "Nature", "Physics", "Social Sciences"}},
    {"Society & Culture",
     {"Documentary", "Personal Journals", "Philosophy", "Places & Travel", "Relationships"}},
    {"Sports",
     {"Baseball", "Basketball", "Cricket", "Fantasy Sports", "Football", "Golf", "Hockey", "Rugby",
      "Running", "Soccer", "Swimming", "Tennis", "Volleyball", "Wilderness", "Wrestling"}},
    {"Technology", {}},
    {"True Crime", {}},
    {"TV & Film", {"After Shows", "Film History", "Film Interviews", "Film Reviews", "TV Reviews"}},
};

// Names from Apple's lists before 2019: still met in feeds, no longer listed.
const std::initializer_list<const char *> RetiredCategories{"Arts & Entertainment",
                                                            "Audio Blogs",
                                                            "Family",
                                                            "Food",
                                                            "Games & Hobbies",
                                                            "Government & Organizations",
                                                            "Health",
                                                            "International",
                                                            "Movies & Television",
                                                            "News & Politics",
                                                            "Politics",
                                                            "Public Radio",
                                                            "Science & Medicine",
                                                            "Sports & Recreation",
                                                            "Talk Radio",
                                                            "Transportation",
                                                            "Travel"};
const std::initializer_list<const char *> RetiredSubcategories{"Literature",
                                                               "Architecture",
                                                               "Design",
                                                               "Entertainment",
                                                               "Games",
                                                               "Performing Arts",
                                                               "Photography",
                                                               "Poetry",
                                                               "Science Fiction",
                                                               "Careers",
                                                               "Finance",
                                                               "Investing",
                                                               "Management & Marketing",
                                                               "News",
                                                               "Shopping",
                                                               "Education Technology",
                                                               "Higher Education",
                                                               "K-12",
                                                               "Language Courses",
                                                               "Training",
                                                               "Automotive",
                                                               "Aviation",
                                                               "Hobbies",
                                                               "Other Games",
                                                               "Video Games",
                                                               "Local",
                                                               "National",
                                                               "Non-Profit",
                                                               "Regional",
                                                               "Alternative Health",
                                                               "Diet & Nutrition",
                                                               "Fitness",
                                                               "Fitness & Nutrition",
                                                               "Relationships",
                                                               "Self-Help",
                                                               "Sexuality",
                                                               "Buddhism",
                                                               "Christianity",
                                                               "Islam",
                                                               "Judaism",
                                                               "New Age",
                                                               "Philosophy",
                                                               "Other",
                                                               "Spirituality",
                                                               "Medicine",
                                                               "Natural Sciences",
                                                               "Social Sciences",
                                                               "History",
                                                               "Amateur",
                                                               "College & High School",
                                                               "Outdoor",
                                                               "Professional",
                                                               "Computers",
                                                               "Developers",
                                                               "Gadgets",
                                                               "Information Technology",
                                                               "Operating Systems",
                                                               "Podcasting",
                                                               "Smart Phones",
                                                               "Software How-To",
                                                               "Tech News",
                                                               "Text/Speech",
                                                               "Bicycles",
                                                               "Commuting",
                                                               "Australian",
                                                               "Belgian",
                                                               "Brazilian",
                                                               "Canadian",
                                                               "Chinese",
                                                               "Dutch",
                                                               "French",
                                                               "German",
                                                               "Hebrew",
                                                               "Italian",
                                                               "Japanese",
                                                               "Norwegian",
                                                               "Polish",
                                                               "Portuguese",
                                                               "Spanish",
                                                               "Swedish"};

bool listed(const std::initializer_list<const char *> &list, const QString &name) {
    return std::any_of(list.begin(), list.end(),
                       [&](const char *entry) { return name == QLatin1StringView(entry); });
}

} // namespace

const Category *find(const QString &name) {
    for (const Category &category : Categories) {
        if (name == QLatin1StringView(category.name))
            return &category;
    }
    return nullptr;
}

const Category *parentOf(const QString &name) {
    for (const Category &category : Categories) {
        for (const char *sub : category.subcategories) {
            if (name == QLatin1StringView(sub))
                return &category;
        }
    }
    return nullptr;
}

bool isRetired(const QString &name) {
    return listed(RetiredCategories, name);
}

bool isRetiredSubcategory(const QString &name) {
    return listed(RetiredSubcategories, name);
}

bool isSubcategoryOf(const Category &category, const QString &name) {
    return listed(category.subcategories, name);
}
} // namespace AppleCategories
