#pragma once

struct FeedCheckInput;

// The rules about each episode's boxes and kept tags.
namespace FeedCheckEpisodes {
void episodeTitleMissing(const FeedCheckInput &input);
void enclosureMissing(const FeedCheckInput &input);
void enclosureUrl(const FeedCheckInput &input);
void enclosureLength(const FeedCheckInput &input);
void enclosureLengthZero(const FeedCheckInput &input);
void enclosureType(const FeedCheckInput &input);
void enclosureTypeUnknown(const FeedCheckInput &input);
void enclosureTypeMismatch(const FeedCheckInput &input);
void guidDuplicate(const FeedCheckInput &input);
void guidPermaLink(const FeedCheckInput &input);
void urlDuplicate(const FeedCheckInput &input);
void pubDateFormat(const FeedCheckInput &input);
void pubDateExact(const FeedCheckInput &input);
void pubDateFuture(const FeedCheckInput &input);
void durationFormat(const FeedCheckInput &input);
void episodeExplicitValue(const FeedCheckInput &input);
void episodeExplicitLegacy(const FeedCheckInput &input);
void episodeNumber(const FeedCheckInput &input);
void episodeSeason(const FeedCheckInput &input);
void episodeType(const FeedCheckInput &input);
void serialNeedsNumber(const FeedCheckInput &input);
} // namespace FeedCheckEpisodes
