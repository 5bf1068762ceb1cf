#include "EpisodeCommands.h"

#include "AddEpisodesCommand.h"
#include "BackgroundWork.h"
#include "DocumentFlows.h"
#include "DocumentUndoStack.h"
#include "DroppedFiles.h"
#include "EditEpisodeCommand.h"
#include "EpisodeList.h"
#include "MoveEpisodesCommand.h"
#include "RemoveEpisodeCommand.h"
#include "ReplaceDocumentCommand.h"
#include "SetNamespacesCommand.h"
#include "dialogs/EpisodeDialog.h"
#include "feed/EpisodeOrder.h"
#include "feed/ErrorReporter.h"
#include "feed/FileDialogService.h"
#include "feed/Locations.h"
#include "feed/MediaEpisode.h"
#include "feed/MediaFile.h"
#include "feed/MessageService.h"
#include "feed/StepGuard.h"
#include "model/PodcastDocument.h"

#include <QDir>
#include <QLineEdit>
#include <QTreeView>
#include <QWidget>

EpisodeCommands::EpisodeCommands(QWidget &window, PodcastDocument &document,
                                 DocumentUndoStack &undoStack, MainWindowServices &services,
                                 BackgroundWork &work, EpisodeList &list, QTreeView &view,
                                 DocumentFlows &flows, QString applicationFolder)
    : QObject(&window)
    , m_window(window)
    , m_document(document)
    , m_undoStack(undoStack)
    , m_services(services)
    , m_work(work)
    , m_list(list)
    , m_view(view)
    , m_flows(flows)
    , m_applicationFolder(std::move(applicationFolder)) {}

// Removes the selected row and selects the one that took its place (or the
// new last row), so the next removal acts on a row the user can see. Nothing
// selected: nothing removed.
bool EpisodeCommands::removeSelectedEpisode() {
    const qsizetype number = m_list.selectedEpisode();
    if (number == 0)
        return false;
    m_undoStack.push(new RemoveEpisodeCommand(m_document, number));
    m_list.selectEpisode(std::min(number, m_document.episodeCount()));
    return true;
}

std::unique_ptr<EpisodeDialog> EpisodeCommands::createEpisodeDialog(qsizetype selected) {
    auto dialog =
        std::make_unique<EpisodeDialog>(m_document, selected, m_services.messages,
                                        m_services.errors, m_applicationFolder, &m_window);
    dialog->setFileDialogs(m_services.dialogs);
    return dialog;
}

void EpisodeCommands::showEpisodeDialog(EpisodeDialog &dialog) {
    if (m_services.showEpisodeDialog)
        m_services.showEpisodeDialog(dialog);
    else
        dialog.exec();
    const std::optional<EpisodeDialog::Saved> &saved = dialog.saved();
    if (!saved)
        return;
    const bool newPrefixes = saved->namespaces != m_document.namespaces();
    const bool edited = saved->added || saved->number > m_document.episodeCount() ||
                        m_document.episode(saved->number) != saved->episode;
    if (!edited && !newPrefixes) {
        // Saved as it was: changed all the same, as Save always marks it.
        m_document.setDocumentChanged(true);
        return;
    }
    m_undoStack.beginMacro(saved->added ? QStringLiteral("Add Episode")
                                        : QStringLiteral("Edit Episode"));
    if (newPrefixes)
        m_undoStack.push(new SetNamespacesCommand(m_document, saved->namespaces));
    if (saved->added)
        m_undoStack.push(new AddEpisodesCommand(m_document, {saved->episode}));
    else if (edited)
        m_undoStack.push(new EditEpisodeCommand(m_document, saved->number, saved->episode));
    m_undoStack.endMacro();
}

void EpisodeCommands::addEpisode() {
    StepGuard guard(m_services.errors, Locations::form1("PushButton1_Click"));
    std::unique_ptr<EpisodeDialog> dialog;
    guard.step(100, [&] {
        dialog = createEpisodeDialog(m_list.selectedEpisode());
        dialog->setWindowTitle(EpisodeDialog::addCaption());
    });
    guard.step(102, [&] {
        if (!dialog)
            return;
        const qsizetype before = m_document.episodeCount();
        showEpisodeDialog(*dialog);
        // The new last row is shown, left unselected.
        if (m_document.episodeCount() > before)
            m_view.scrollTo(m_document.index(static_cast<int>(m_document.episodeCount() - 1), 0));
    });
}

void EpisodeCommands::editEpisode() {
    editSelectedEpisode(-1);
}

void EpisodeCommands::editSelectedEpisode(int focusColumn, const QString &tag) {
    StepGuard guard(m_services.errors, Locations::form1("PushButton4_Click"));
    guard.enter(100);
    const qsizetype selected = m_list.selectedEpisode();
    if (m_document.episodeCount() == 0 || selected == 0)
        return;

    std::unique_ptr<EpisodeDialog> dialog;
    int columns = EpisodeColumn::Count;
    guard.step(102, [&] { columns = m_document.columnCount(); });
    for (int k = 1; k <= columns; ++k) {
        guard.step(102 + 2 * k, [&] {
            if (!dialog)
                dialog = createEpisodeDialog(selected);
            dialog->setField(k - 1, m_document.episode(selected)[k - 1]);
        });
    }
    const int next = 104 + 2 * columns;
    guard.step(next, [&] {
        if (!dialog)
            dialog = createEpisodeDialog(selected);
        dialog->setWindowTitle(EpisodeDialog::editCaption());
        if (focusColumn >= 0 && focusColumn < EpisodeColumn::Count)
            dialog->box(focusColumn)->setFocus();
        if (!tag.isEmpty())
            dialog->openMoreTagsOnShow(tag);
    });
    guard.step(next + 2, [&] {
        if (dialog)
            showEpisodeDialog(*dialog);
    });
}

void EpisodeCommands::deleteEpisode() {
    StepGuard guard(m_services.errors, Locations::form1("PushButton2_Click"));
    guard.enter(100);
    if (m_document.episodeCount() == 0 || m_list.selectedEpisode() == 0)
        return;
    guard.step(102, [&] { removeSelectedEpisode(); });
    guard.step(104, [&] { m_view.setFocus(); });
    guard.step(106, [&] { m_document.setDocumentChanged(true); });
}

void EpisodeCommands::deleteKeyPressed() {
    if (m_document.episodeCount() > 0 && removeSelectedEpisode())
        m_document.setDocumentChanged(true);
}

void EpisodeCommands::listDoubleClicked() {
    if (m_document.episodeCount() > 0)
        removeSelectedEpisode();
    m_document.setDocumentChanged(true);
}

void EpisodeCommands::moveSelectedEpisode(int step) {
    const qsizetype selected = m_list.selectedEpisode();
    const qsizetype to = selected + step;
    if (selected == 0 || to < 1 || to > m_document.episodeCount())
        return;
    m_undoStack.push(new MoveEpisodesCommand(m_document, selected, 1, to));
    m_list.selectEpisode(to);
}

void EpisodeCommands::sortByPublicationDate() {
    PodcastContent sorted = m_document.content();
    sorted.episodes = EpisodeOrder::sortedNewestFirst(sorted.episodes);
    if (sorted.episodes == m_document.episodes())
        return;
    // The selected episode stays selected where it went.
    const qsizetype selected = m_list.selectedEpisode();
    const Episode kept = selected > 0 ? m_document.episode(selected) : Episode();
    m_undoStack.push(new ReplaceDocumentCommand(
        m_document, QStringLiteral("Sort by Publication Date"), m_document.content(),
        std::move(sorted), ReplaceDocumentCommand::Applied::No));
    if (selected > 0)
        m_list.selectEpisode(m_document.episodes().indexOf(kept) + 1);
}

void EpisodeCommands::addMediaFromDialog() {
    const QStringList paths = m_services.dialogs.openFileNames(
        {QString(), QStringLiteral("Add Episodes from Media Files"),
         QStringLiteral("Audio and Video (*.mp3 *.m4a *.m4b *.aac *.ogg *.oga *.opus *.flac *.wav "
                        "*.mp4 *.m4v *.mov *.webm)|*.mp3;*.m4a;*.m4b;*.aac;*.ogg;*.oga;*.opus;"
                        "*.flac;*.wav;*.mp4;*.m4v;*.mov;*.webm|All Files (*.*)|*.*")});
    if (paths.isEmpty())
        return;
    QStringList media;
    QStringList others;
    for (const QString &path : paths)
        (MediaFile::isMedia(path) ? media : others).append(path);
    if (!others.isEmpty()) {
        QStringList names;
        for (const QString &path : std::as_const(others))
            names.append(QDir::toNativeSeparators(path));
        m_services.messages.notice(
            QStringLiteral("These files are not audio or video and were not added:\n") +
            names.join(u'\n'));
    }
    addMediaFiles(media);
}

namespace {
struct MadeFromMedia {
    QList<Episode> made;
    QStringList failed;
    QStringList withoutDuration;
    QStringList cleaned;
    QStringList withoutUrl;
};

// Reads the files one by one, counting them; the newest episode lends its
// author, keywords, flag, category and folder, and files given together are
// dated one second apart, in their order.
MadeFromMedia readMediaFiles(const QStringList &paths, const std::optional<Episode> &newest,
                             const QDateTime &now) {
    MadeFromMedia result;
    WorkProgress *progress = WorkProgress::current();
    if (progress) {
        progress->setUnit(WorkProgress::Unit::Files);
        progress->setTotal(paths.size());
    }
    for (const QString &path : paths) {
        if (progress) {
            if (progress->isCancelled())
                break;
            progress->setDone(result.made.size() + result.failed.size());
        }
        const Episode *previous = !result.made.isEmpty() ? &result.made.constLast()
                                  : newest               ? &*newest
                                                         : nullptr;
        MediaEpisode episode =
            MediaEpisode::fromFile(path, previous, now.addSecs(result.made.size()));
        const QString shown = QDir::toNativeSeparators(path);
        if (!episode.isValid()) {
            result.failed.append(QStringLiteral("%1: %2").arg(shown, episode.error));
            continue;
        }
        if (episode.readCutShort)
            result.withoutDuration.append(QStringLiteral("%1 (reading stopped at its limit of %2)")
                                              .arg(shown, MediaEpisode::budgetText()));
        else if (!episode.durationRead)
            result.withoutDuration.append(shown);
        if (episode.droppedCharacters > 0)
            result.cleaned.append(shown);
        if (episode.urlMissing())
            result.withoutUrl.append(shown);
        result.made.append(std::move(episode.episode));
    }
    return result;
}
} // namespace

void EpisodeCommands::addMediaFiles(const QStringList &paths) {
    const QDateTime now = m_services.clock ? m_services.clock() : BuildDate::systemNow();
    const QList<Episode> &existing = m_document.episodes();
    const qsizetype newestIndex = EpisodeOrder::newest(existing);
    std::optional<Episode> newest;
    if (newestIndex >= 0)
        newest = existing[newestIndex];
    const std::optional<MadeFromMedia> read = m_work.run<MadeFromMedia>(
        QStringLiteral("Reading media files…"),
        [paths, newest, now](ForwardedServices &) { return readMediaFiles(paths, newest, now); });
    if (!read)
        return;
    QList<Episode> made = read->made;
    const QStringList &failed = read->failed;
    const QStringList &withoutDuration = read->withoutDuration;
    const QStringList &cleaned = read->cleaned;
    const QStringList &withoutUrl = read->withoutUrl;
    if (!made.isEmpty()) {
        const qsizetype number = EpisodeOrder::place(existing, made);
        auto *command = new AddEpisodesCommand(m_document, made, number);
        const qsizetype first = command->firstNumber();
        m_undoStack.push(command);
        m_list.selectEpisodes(first, made.size());
    }
    auto report = [this](const QStringList &files, const QString &what) {
        if (!files.isEmpty())
            m_services.messages.notice(what + files.join(u'\n'));
    };
    report(failed, QStringLiteral("These files could not be read and were not added:\n"));
    report(withoutDuration,
           QStringLiteral("The duration of these files could not be read, so their episodes "
                          "have an empty Duration:\n"));
    report(cleaned, QStringLiteral("Characters that XML cannot hold were left out of the titles "
                                   "taken from these files:\n"));
    report(withoutUrl,
           QStringLiteral("These episodes have an empty URL, as there is no earlier enclosure "
                          "address to follow; fill it in before publishing:\n"));
}

void EpisodeCommands::dropFiles(const QMimeData &data) {
    const DroppedFiles files = DroppedFiles::sort(data);
    QStringList left = files.others;
    if (files.media.isEmpty()) {
        if (files.feeds.size() == 1 && files.others.isEmpty()) {
            m_flows.openOrAdd(files.feeds.constFirst());
            return;
        }
        if (files.feeds.size() > 1 && files.others.isEmpty()) {
            m_services.messages.notice(
                QStringLiteral("Drop one feed file at a time to load it. Nothing was loaded."));
            return;
        }
        for (const QString &feed : files.feeds)
            left.append(QDir::toNativeSeparators(feed));
        m_services.messages.notice(
            QStringLiteral("Only audio or video files, or one feed file, can be dropped here. "
                           "Nothing was added from:\n") +
            left.join(u'\n'));
        return;
    }
    addMediaFiles(files.media);
    for (const QString &feed : files.feeds)
        left.append(QDir::toNativeSeparators(feed));
    if (!left.isEmpty())
        m_services.messages.notice(
            QStringLiteral("These files are not audio or video and were not added:\n") +
            left.join(u'\n'));
}
