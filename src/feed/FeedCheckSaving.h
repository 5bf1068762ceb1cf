#pragma once

struct FeedCheckInput;

// What the save's check before replacing the file refuses, found before the
// user saves: a bare "&" or "<", a quotation mark in an attribute, a
// character XML cannot hold.
namespace FeedCheckSaving {
void refusedValues(const FeedCheckInput &input);
} // namespace FeedCheckSaving
