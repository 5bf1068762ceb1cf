#pragma once

struct FeedCheckInput;

// Rules of Apple's guide about the kept tags.
namespace FeedCheckApple {
// A tag that stands once in a channel or an item is not repeated.
void repeatedTags(const FeedCheckInput &input);
// An episode's itunes:title, which Apple shows, says what its Title says.
void itunesTitles(const FeedCheckInput &input);
} // namespace FeedCheckApple
