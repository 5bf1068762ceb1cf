#pragma once

struct FeedCheckInput;

// The rules about the podcast's categories, by Apple's list.
namespace FeedCheckCategories {
void channelCategoryMissing(const FeedCheckInput &input);
void channelCategoryUnknown(const FeedCheckInput &input);
void channelCategoryRetired(const FeedCheckInput &input);
void channelSubcategoryUnknown(const FeedCheckInput &input);
} // namespace FeedCheckCategories
