#include "DocumentFlows.h"

#include "BackgroundWork.h"
#include "BuildConfig.h"
#include "DocumentUndoStack.h"
#include "FeedFileCommands.h"
#include "ReplaceDocumentCommand.h"
#include "feed/DesktopShell.h"
#include "feed/ErrorReporter.h"
#include "feed/LoadPodcast.h"
#include "feed/Locations.h"
#include "feed/MessageService.h"
#include "feed/SavePodcast.h"
#include "feed/StepGuard.h"
#include "model/PodcastDocument.h"

#include <QFileInfo>
#include <memory>
#include <utility>

namespace {
// Only space characters are removed before the emptiness test; a tab or a
// line break counts as text.
bool isBlank(const QString &text) {
    for (const QChar c : text) {
        if (c != u' ')
            return false;
    }
    return true;
}

QString forgotTitle() {
    return QStringLiteral("You forgot to add title.");
}

QString forgotEpisodes() {
    return QStringLiteral("You forgot to add episode(s).");
}
} // namespace

DocumentFlows::DocumentFlows(PodcastDocument &document, DocumentUndoStack &undoStack,
                             MainWindowServices &services, BackgroundWork &work,
                             FeedFileCommands &files, QString applicationFolder,
                             std::function<void()> focusTitle, QObject *parent)
    : QObject(parent)
    , m_document(document)
    , m_undoStack(undoStack)
    , m_services(services)
    , m_work(work)
    , m_files(files)
    , m_applicationFolder(std::move(applicationFolder))
    , m_focusTitle(std::move(focusTitle)) {}

bool DocumentFlows::titleMissing() const {
    return isBlank(m_document.field(ChannelField::Title));
}

bool DocumentFlows::runSavePodcast() {
    m_saveSucceeded = false;
    struct Saved {
        bool succeeded = false;
        QString path;
        FeedFileCommands::DiskStamp stamp;
    };
    const PodcastContent snapshot = m_document.content();
    const BuildDate::Clock clock = m_services.clock;
    const std::optional<Saved> saved = m_work.run<Saved>(
        QStringLiteral("Saving…"),
        [snapshot, clock](ForwardedServices &services) {
            PodcastDocument document;
            document.replaceContent(snapshot);
            Saved done;
            SaveServices save{services, services, services, clock, &done.path};
            done.succeeded = SavePodcast(document, save);
            if (done.succeeded)
                done.stamp = FeedFileCommands::stampOf(done.path);
            return done;
        },
        BackgroundWork::OnCancel::KeepResult);
    if (!saved)
        return false;
    m_saveSucceeded = saved->succeeded;
    // The file saved to is the document's file from now on (File ▸ Save).
    if (m_saveSucceeded)
        m_files.savedTo(saved->path, saved->stamp);
    return m_saveSucceeded;
}

void DocumentFlows::saveAs() {
    StepGuard guard(m_services.errors, Locations::form1("PushButton3_Click"));
    guard.enter(100);
    if (titleMissing()) {
        guard.step(102, [&] { m_services.messages.notice(forgotTitle()); });
        guard.step(104, [&] { m_focusTitle(); });
        return;
    }
    guard.enter(106);
    if (m_document.episodeCount() > 0) {
        guard.step(108, [&] { runSavePodcast(); });
        guard.enter(110);
        if (m_saveSucceeded) {
            guard.step(112, [&] { m_services.messages.notice(QStringLiteral("Done Saved.")); });
            // Only a save that reached the file makes the document "saved": a
            // cancelled dialog or a refused text leaves the changes pending.
            guard.step(114, [&] { m_undoStack.markSaved(); });
        }
        return;
    }
    guard.step(116, [&] { m_services.messages.notice(forgotEpisodes()); });
}

DocumentFlows::SaveOutcome DocumentFlows::saveFirst(StepGuard *guard) {
    auto step = [guard](int number, const std::function<void()> &body) {
        if (guard)
            guard->step(number, body);
        else
            body();
    };
    if (guard)
        guard->enter(104);
    if (titleMissing()) {
        step(106, [&] { m_services.messages.notice(forgotTitle()); });
        step(108, [&] { m_focusTitle(); });
        return SaveOutcome::MissingTitle;
    }
    if (guard)
        guard->enter(110);
    if (m_document.episodeCount() == 0) {
        step(114, [&] { m_services.messages.notice(forgotEpisodes()); });
        return SaveOutcome::NoEpisodes;
    }
    step(112, [&] { runSavePodcast(); });
    // Going on after a cancelled or refused save would throw away the very
    // changes the user just asked to keep.
    if (!m_saveSucceeded)
        return SaveOutcome::NotSaved;
    m_undoStack.markSaved();
    return SaveOutcome::Saved;
}

void DocumentFlows::newDocument() {
    StepGuard guard(m_services.errors, Locations::form1("PushButton5_Click"));
    guard.enter(100);
    if (m_document.DocumentChanged()) {
        auto answer = MessageService::Answer::No;
        guard.step(102, [&] {
            answer = m_services.messages.question(
                QStringLiteral("Would you like to save?"), QStringLiteral("Save Changes?"),
                MessageService::Buttons::YesNo, MessageService::Answer::Yes);
        });
        if (answer == MessageService::Answer::Yes && saveFirst(&guard) != SaveOutcome::Saved)
            return;
    }

    // Empties the list in one reset (and the fields, which the steps below
    // would otherwise empty one by one), as one step of the history.
    guard.step(116, [&] {
        auto *command = new ReplaceDocumentCommand(m_document, QStringLiteral("New Podcast.xml"),
                                                   m_document.content(), PodcastContent(),
                                                   ReplaceDocumentCommand::Applied::No);
        // Undone, the podcast is its file's again, and Save writes there;
        // redone, it is the file the empty podcast had, none at first. Each
        // side keeps the file it had when it was left, saved or not.
        auto away = std::make_shared<std::pair<QString, FeedFileCommands::DiskStamp>>();
        command->setFollow([&files = m_files, away](bool) {
            std::pair<QString, FeedFileCommands::DiskStamp> left{files.path(), files.stamp()};
            if (away->first.isEmpty())
                files.forget();
            else
                files.restore(away->first, away->second);
            *away = std::move(left);
        });
        m_undoStack.push(command);
    });
    guard.enter(118);
    for (int index = 0; index < ChannelField::Count; ++index) {
        guard.step(120, [&] { m_document.setField(index, QString()); });
        guard.enter(122);
    }
    guard.step(124, [&] { m_document.setDocumentChanged(false); });
    m_files.forget();
}

void DocumentFlows::showHelp() {
    StepGuard guard(m_services.errors, Locations::form1("PushButton6_Click"));
    guard.step(100, [&] {
        m_services.messages.notice(
            QStringLiteral("Questions? Please contact Team Quarrystone at ") +
            QString::fromUtf8(BuildConfig::ContactUrl));
    });
    // Plain addresses: quotation marks around them are a Windows shell habit
    // that other desktops read as part of the address.
    guard.step(102, [&] { m_services.shell.openUrl(QString::fromUtf8(BuildConfig::NotesUrl)); });
    guard.step(104, [&] { m_services.shell.openUrl(QString::fromUtf8(BuildConfig::SpecUrl)); });
    guard.step(106,
               [&] { m_services.shell.openUrl(QString::fromUtf8(BuildConfig::ValidatorUrl)); });
}

void DocumentFlows::loadOffWindow(
    const QString &text, const QString &label,
    std::function<void(PodcastDocument &, ForwardedServices &)> load) {
    struct Loaded {
        PodcastContent content;
        bool marked = false;
    };
    const PodcastContent before = m_document.content();
    const std::optional<Loaded> loaded =
        m_work.run<Loaded>(label, [before, load = std::move(load)](ForwardedServices &services) {
            PodcastDocument document;
            document.replaceContent(before);
            document.setDocumentChanged(false);
            load(document, services);
            return Loaded{document.content(), document.DocumentChanged()};
        });
    // A cancelled load changes nothing.
    if (!loaded)
        return;
    if (loaded->content != before) {
        m_undoStack.push(new ReplaceDocumentCommand(m_document, text, before, loaded->content,
                                                    ReplaceDocumentCommand::Applied::No));
    } else if (loaded->marked) {
        // A load that brought nothing new still marks the document, as
        // its flow says; there is no step to undo.
        m_document.setDocumentChanged(true);
    }
}

void DocumentFlows::loadFeed() {
    loadOffWindow(QStringLiteral("Load Podcast.xml"), QStringLiteral("Loading…"),
                  [](PodcastDocument &document, ForwardedServices &services) {
                      loadPodcastCommand(document, services, services, services, RepairOffer::Ask);
                  });
}

void DocumentFlows::openOrAdd(const QString &path) {
    if (m_document.isBlank() && !m_document.DocumentChanged()) {
        m_files.openPath(path);
        return;
    }
    loadOffWindow(QStringLiteral("Load Podcast.xml"),
                  QStringLiteral("Loading %1…").arg(QFileInfo(path).fileName()),
                  [path](PodcastDocument &document, ForwardedServices &services) {
                      loadPodcastFile(path, document, services, services, RepairOffer::Ask);
                  });
}

void DocumentFlows::loadSample() {
    loadOffWindow(
        QStringLiteral("Load Sample/Example Podcast"), QStringLiteral("Loading…"),
        [folder = m_applicationFolder](PodcastDocument &document, ForwardedServices &services) {
            loadSampleCommand(document, folder, services, services);
        });
}

bool DocumentFlows::mayClose() {
    // Unsaved changes are never dropped without asking.
    if (!m_document.DocumentChanged())
        return true;
    const auto answer = m_services.messages.question(
        QStringLiteral("Would you like to save?"), QStringLiteral("Save Changes?"),
        MessageService::Buttons::YesNoCancel, MessageService::Answer::Yes);
    switch (answer) {
    case MessageService::Answer::Yes:
        return saveFirst(nullptr) == SaveOutcome::Saved;
    case MessageService::Answer::No:
        return true;
    case MessageService::Answer::Cancel:
        return false;
    }
    return false;
}
