#pragma once

#include <QDateTime>
#include <QString>
#include <initializer_list>
#include <optional>

// What a feed's values have to look like, as the feed check judges them:
// the forms the directories take and the forms the W3C feed validator takes.
namespace FeedCheckValues {
// Names as they have to stand in an attribute the editor writes unescaped.
QString written(const QString &name);
// The field holds the text as written into the file, references included.
QString unescaped(const QString &text);

// Audio and video files the directories play, by extension, with the types
// that agree with each.
struct MediaType {
    const char *extension;
    std::initializer_list<const char *> types;
};
bool isKnownType(const QString &type);
const MediaType *mediaOf(const QString &extension);

bool hasInnerBlank(const QString &text);
bool hasOuterBlank(const QString &text);
// An absolute http or https address with a host and nothing blank inside.
bool isHttpAddress(const QString &text);
// An address of the plainest http or https form, which QUrl takes as it
// stands: its host and path (views into the address), and whether it has
// percent-encodings.
struct PlainAddress {
    QStringView host;
    QStringView path;
    bool encoded = false;
};
std::optional<PlainAddress> plainAddress(QStringView address);
// Why an address is not a full http or https address, as a sentence.
QString addressProblem(const QString &address);
// The last path segment's extension, without query or fragment.
QString extensionOf(const QString &address);
bool isPositiveWholeNumber(const QString &text);
bool isTrueFalse(const QString &text);
bool isYesNoClean(const QString &text);
// Seconds, MM:SS or H:MM:SS.
bool isDuration(const QString &text);
bool isUuid(const QString &text);
bool isEmailAddress(const QString &text);
// An RFC 2822 date and time with English day and month names; null when the
// text is not one (a wrong weekday included).
QDateTime parseRfc2822(const QString &text);

// The forms the W3C feed validator holds values to, where it reports an
// error for any other.
// A scheme, then only the characters an address may hold unencoded; http
// and ftp with a host after "//".
bool isFullUri(const QString &text);
// The characters an address may hold, relative or not (a permalink GUID).
bool isUriReference(const QString &text);
// An ISO 639 language, optionally followed by "-" and a region or variant.
bool isIsoLanguage(const QString &text);
// managingEditor, webMaster and an item's author: an e-mail address,
// optionally followed by a name in parentheses ("ann@example.org (Ann)").
bool isContact(const QString &text);
// type/subtype without blanks, parameters or separators.
bool isMimeType(const QString &text);
// A whole number of bytes above 0.
bool isPositiveLength(const QString &text);
// Day, month, year, time and zone in the order and spelling RFC 822 has;
// what the validator takes, whether or not the date exists.
bool hasRfc822Form(const QString &text);
} // namespace FeedCheckValues
