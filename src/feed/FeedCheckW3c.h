#pragma once

struct FeedCheckInput;

// Rules the W3C feed validator reports as errors and the directories' rules
// do not cover: values in the kept content of the channel and the items.
namespace FeedCheckW3c {
// managingEditor, webMaster and an item's author hold an e-mail address,
// optionally followed by a name in parentheses.
void contacts(const FeedCheckInput &input);
// An item's link is a full address.
void itemLinks(const FeedCheckInput &input);
// A GUID that is a permalink holds only what an address may hold.
void permalinkGuids(const FeedCheckInput &input);
} // namespace FeedCheckW3c
