#pragma once

#include <QByteArray>
#include <QString>

class ErrorReporter;
class FileDialogService;
class MessageService;
class PodcastDocument;
class StepGuard;

// Which command runs the reading: its steps are numbered from different bases.
enum class LoadCommand {
    LoadFile,   // "Load Podcast.xml"
    LoadSample, // "Load Sample/Example Podcast", six lower
};

// Whether a refused file is followed by the offer to open a repaired copy
// (see RepairPodcast): the editor asks, scripts never do.
enum class RepairOffer { No, Ask };

// Reads one feed file into the document: fields found replace the matching
// fields, items with a title are appended as one batch, nothing is cleared.
// A file that cannot be read or is not well-formed shows "Fail to load XML."
// and changes nothing. Returns false in that case.
bool LoadPodcast(const QString &path, PodcastDocument &document, LoadCommand command,
                 StepGuard &guard, MessageService &messages);

// The same reading of a feed's text held in memory (a repaired copy): it
// becomes the document's text as a file's bytes would.
bool loadPodcastText(const QByteArray &text, PodcastDocument &document, LoadCommand command,
                     StepGuard &guard, MessageService &messages);

// Reads a file named by other means (the command line, a script) exactly as
// "Load Podcast.xml" reads the file picked in its dialog, reports included.
bool loadPodcastFile(const QString &path, PodcastDocument &document, MessageService &messages,
                     ErrorReporter &errors, RepairOffer offer = RepairOffer::No);

// "Load Podcast.xml": the open dialog, then LoadPodcast.
void loadPodcastCommand(PodcastDocument &document, FileDialogService &dialogs,
                        MessageService &messages, ErrorReporter &errors,
                        RepairOffer offer = RepairOffer::No);

// "Load Sample/Example Podcast": the confirmation, then LoadPodcast on the
// sample beside the program (see ApplicationFolder).
void loadSampleCommand(PodcastDocument &document, const QString &applicationFolder,
                       MessageService &messages, ErrorReporter &errors);
