#pragma once

#include "BuildDate.h"

class ErrorReporter;
class FileDialogService;
class MessageService;
class PodcastDocument;

// What the save flow needs of the platform; tests pass scripted stand-ins.
struct SaveServices {
    FileDialogService &dialogs;
    MessageService &messages;
    ErrorReporter &errors;
    BuildDate::Clock clock = BuildDate::systemNow;
    // Where a successful save wrote, when the caller wants to know.
    QString *savedPath = nullptr;
};

// Asks for a file name, builds the feed text, checks that it is well-formed
// and only then replaces the file. Returns SaveSucceeded: true only when the
// chosen file now holds a well-formed feed.
bool SavePodcast(const PodcastDocument &document, SaveServices &services);
