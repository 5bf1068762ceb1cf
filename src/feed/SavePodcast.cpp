#include "SavePodcast.h"

#include "ErrorReporter.h"
#include "FeedFault.h"
#include "FeedFile.h"
#include "FileDialogService.h"
#include "Locations.h"
#include "MessageService.h"
#include "SaveToFile.h"
#include "SourceFeedText.h"
#include "StepGuard.h"

bool SavePodcast(const PodcastDocument &document, SaveServices &services) {
    StepGuard guard(services.errors, Locations::form1("SavePodcast"));

    FileDialogService::Settings settings;
    guard.step(100, [&] { settings.fileName = QStringLiteral("Podcast.xml"); });
    guard.step(102, [&] { settings.title = QStringLiteral("Save Podcast.xml"); });
    guard.step(104, [&] { settings.filter = QStringLiteral("Podcast.xml (*.xml)|*.xml"); });
    QString chosen;
    guard.step(106, [&] { chosen = services.dialogs.saveFileName(settings); });
    QString path;
    guard.step(108, [&] { path = chosen; });
    bool saveSucceeded = false;

    guard.enter(110);
    if (path.trimmed().isEmpty())
        return false;

    // The declaration, root and channel lines are fixed text; the build date
    // is the first piece that reads anything, the rest is the document.
    guard.enter(112);
    guard.enter(114);
    guard.enter(116);
    QString buildDate;
    guard.step(118, [&] { buildDate = BuildDate::text(services.clock()); });
    // Built as file bytes, the loaded text's unchanged parts left where they
    // stand: a large feed never exists twice in memory. The text is checked
    // before it replaces anything, so a refused text never reaches the disk
    // and the file that stood there survives.
    TextPieces bytes;
    QString invalidReason;
    guard.step(120, [&] { bytes = SourceFeedText::buildPieces(document, buildDate); });
    guard.enter(180);

    bool written = false;
    guard.step(182, [&] {
        // Checked while it is written; it replaces nothing before it passed.
        const SaveToFile::Result result =
            SaveToFile::writeChecked(document, bytes, buildDate, path);
        if (result.status == SaveToFile::Result::Status::NotWellFormed)
            invalidReason = result.detail;
        else if (result.status == SaveToFile::Result::Status::WriteFailed)
            throw StepFailure(result.detail);
        else
            written = true;
    });
    guard.step(184, [&] { saveSucceeded = written; });
    if (saveSucceeded && services.savedPath)
        *services.savedPath = path;
    guard.enter(186);
    // A failed write has been reported at 182; there is nothing to judge.
    if (invalidReason.isEmpty())
        return saveSucceeded;
    guard.step(188, [&] { saveSucceeded = false; });
    guard.enter(190); // nothing was written, so nothing to delete
    guard.step(192, [&] {
        // Name the value to mend where one is at fault; else the parser's word.
        QString detail = FeedFault::locate(document);
        if (detail.isEmpty())
            detail = invalidReason;
        services.messages.notice(QStringLiteral("XML is not valid."), detail);
    });
    return saveSucceeded;
}
