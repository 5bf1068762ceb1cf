#pragma once

#include <QString>
#include <initializer_list>

// Apple's podcast categories as its guide lists them, and the names it
// retired in 2019 that feeds still carry.
namespace AppleCategories {
struct Category {
    const char *name;
    std::initializer_list<const char *> subcategories;
};

const Category *find(const QString &name);
// The category whose sub-category this is, or none.
const Category *parentOf(const QString &name);
bool isRetired(const QString &name);
bool isRetiredSubcategory(const QString &name);
bool isSubcategoryOf(const Category &category, const QString &name);
} // namespace AppleCategories
