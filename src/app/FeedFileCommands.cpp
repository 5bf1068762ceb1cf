#include "FeedFileCommands.h"

#include "FindingFixes.h"
#include "feed/FeedFix.h"

#include "BackgroundWork.h"
#include "DocumentUndoStack.h"
#include "EditorSettings.h"
#include "ReplaceDocumentCommand.h"
#include "feed/ApplicationTitle.h"
#include "feed/ErrorReporter.h"
#include "feed/FileDialogService.h"
#include "feed/LoadPodcast.h"
#include "feed/MessageService.h"
#include "feed/RepairPodcast.h"
#include "feed/SaveToFile.h"
#include "model/PodcastDocument.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QWidget>

namespace {
constexpr char RecentKey[] = "recentFiles";

QSettings settings() {
    return EditorSettings::open();
}

void storeRecentFiles(const QStringList &files) {
    settings().setValue(QLatin1StringView(RecentKey), files);
}

bool isBlank(const QString &text) {
    return text.trimmed().isEmpty();
}
} // namespace

FeedFileCommands::FeedFileCommands(QWidget &window, PodcastDocument &document,
                                   DocumentUndoStack &undoStack, MainWindowServices &services,
                                   BackgroundWork &work, std::function<void()> saveAs,
                                   std::function<void()> focusTitle)
    : QObject(&window)
    , m_window(window)
    , m_document(document)
    , m_undoStack(undoStack)
    , m_services(services)
    , m_work(work)
    , m_saveAs(std::move(saveAs))
    , m_focusTitle(std::move(focusTitle)) {
    connect(&m_document, &PodcastDocument::documentChangedFlagChanged, this, [this](bool changed) {
        // Without a file the title is the program's, with no place to
        // show the mark.
        if (!m_path.isEmpty())
            m_window.setWindowModified(changed);
    });
}

QStringList FeedFileCommands::recentFiles() {
    return settings().value(QLatin1StringView(RecentKey)).toStringList();
}

void FeedFileCommands::remember(const QString &path) {
    QStringList files = recentFiles();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    files.removeAll(absolute);
    files.prepend(absolute);
    while (files.size() > RecentLimit)
        files.removeLast();
    storeRecentFiles(files);
}

void FeedFileCommands::openRecent(const QString &path) {
    // Asked before anything else: there is nothing to save changes for.
    if (const QFileInfo info(path); !info.isFile()) {
        // A folder that is gone too may be a drive or share not mounted now.
        const bool folderThere = info.dir().exists();
        const auto answer = m_services.messages.question(
            (folderThere ? QStringLiteral("\"%1\" is no longer there: it was moved, renamed or "
                                          "deleted. Remove it from Open Recent?")
                         : QStringLiteral("\"%1\" cannot be reached: its folder is not there. "
                                          "Remove it from Open Recent?"))
                .arg(QDir::toNativeSeparators(path)),
            QString(), MessageService::Buttons::YesNo,
            folderThere ? MessageService::Answer::Yes : MessageService::Answer::No);
        if (answer == MessageService::Answer::Yes) {
            QStringList files = recentFiles();
            files.removeAll(path);
            storeRecentFiles(files);
            Q_EMIT recentFilesChanged();
        }
        return;
    }
    if (settleUnsavedChanges(QStringLiteral("opening another feed")))
        openPath(path);
}

FeedFileCommands::DiskStamp FeedFileCommands::stampOf(const QString &path) {
    DiskStamp stamp;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return stamp;
    const QFileInfo info(file);
    stamp.size = info.size();
    stamp.modified = info.lastModified();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    stamp.hash = hash.result();
    return stamp;
}

void FeedFileCommands::setPath(const QString &path, const DiskStamp &stamp) {
    m_path = QFileInfo(path).absoluteFilePath();
    m_stamp = stamp;
    remember(m_path);
    Q_EMIT recentFilesChanged();
    updateTitle();
}

void FeedFileCommands::forget() {
    m_path.clear();
    m_stamp = {};
    updateTitle();
}

void FeedFileCommands::restore(const QString &path, const DiskStamp &stamp) {
    m_path = path;
    m_stamp = stamp;
    updateTitle();
}

void FeedFileCommands::updateTitle() {
    const QString product = QString::fromUtf8(ApplicationTitle::ProductTitle);
    m_window.setWindowFilePath(m_path);
    m_window.setWindowTitle(m_path.isEmpty() ? product
                                             : QFileInfo(m_path).fileName() +
                                                   QStringLiteral("[*] — ") + product);
    m_window.setWindowModified(!m_path.isEmpty() && m_document.DocumentChanged());
}

bool FeedFileCommands::settleUnsavedChanges(const QString &before) {
    if (!m_document.DocumentChanged())
        return true;
    const QString name =
        m_path.isEmpty() ? QStringLiteral("this podcast") : QFileInfo(m_path).fileName();
    const auto answer = m_services.messages.question(
        QStringLiteral("Save the changes to %1 before %2?").arg(name, before),
        QStringLiteral("Save Changes?"), MessageService::Buttons::SaveDiscardCancel,
        MessageService::Answer::Yes);
    if (answer == MessageService::Answer::Cancel)
        return false;
    if (answer == MessageService::Answer::No)
        return true;
    save();
    return !m_document.DocumentChanged();
}

void FeedFileCommands::open() {
    if (!settleUnsavedChanges(QStringLiteral("opening another feed")))
        return;
    FileDialogService::Settings settings;
    settings.title = QStringLiteral("Open");
    settings.filter = QStringLiteral("Feeds (*.xml *.rss)|*.xml *.rss|All files (*)|*");
    const QString path = m_services.dialogs.openFileName(settings);
    if (!path.isEmpty())
        openPath(path);
}

namespace {
struct Opened {
    bool loaded = false;
    bool repaired = false;
    PodcastContent content;
    FeedFileCommands::DiskStamp stamp;
};

// Reads a feed into a document of the work's own; the window's is not
// touched until the work is done.
Opened openOffWindow(const QString &path, ForwardedServices &services, bool offerRepair) {
    Opened opened;
    PodcastDocument loaded;
    opened.stamp = FeedFileCommands::stampOf(path);
    opened.loaded = loadPodcastFile(path, loaded, services, services);
    // After "Fail to load XML.", a file that can be mended is offered.
    if (!opened.loaded && offerRepair && !WorkProgress::currentCancelled())
        opened.loaded = opened.repaired = RepairPodcast::offer(path, loaded, services, services);
    if (opened.loaded)
        opened.content = loaded.content();
    return opened;
}
} // namespace

bool FeedFileCommands::openPath(const QString &path) {
    const std::optional<Opened> opened = m_work.run<Opened>(
        QStringLiteral("Opening %1…").arg(QFileInfo(path).fileName()),
        [path](ForwardedServices &services) { return openOffWindow(path, services, true); });
    if (!opened || !opened->loaded)
        return false;
    m_document.replaceContent(opened->content);
    // A document just opened is the file: nothing to undo, nothing to save;
    // a repaired copy is not the file yet, so it stays to be saved.
    m_undoStack.clear();
    m_undoStack.markSaved();
    if (opened->repaired)
        m_document.setDocumentChanged(true);
    setPath(path, opened->stamp);
    return true;
}

void FeedFileCommands::reload() {
    const QString path = m_path;
    const std::optional<Opened> opened = m_work.run<Opened>(
        QStringLiteral("Reloading %1…").arg(QFileInfo(path).fileName()),
        [path](ForwardedServices &services) { return openOffWindow(path, services, false); });
    if (!opened || !opened->loaded)
        return;
    // Undoable, so the changes the reload replaced are not lost.
    m_undoStack.push(new ReplaceDocumentCommand(m_document, QStringLiteral("Reload"),
                                                m_document.content(), opened->content,
                                                ReplaceDocumentCommand::Applied::No));
    m_undoStack.markSaved();
    setPath(path, opened->stamp);
}

bool FeedFileCommands::offerSaveAs(const QString &why) {
    // The writer names the file itself; the question does already.
    QString reason = why;
    for (const QString &named : {m_path, QDir::toNativeSeparators(m_path)}) {
        if (reason.startsWith(named + QStringLiteral(": ")))
            reason = reason.mid(named.size() + 2);
    }
    const auto answer = m_services.messages.question(
        QStringLiteral("\"%1\" cannot be saved: %2. Save it under another name?")
            .arg(QDir::toNativeSeparators(m_path), reason),
        QString(), MessageService::Buttons::YesNo, MessageService::Answer::Yes);
    if (answer == MessageService::Answer::Yes)
        m_saveAs();
    return false;
}

void FeedFileCommands::save() {
    if (m_path.isEmpty()) {
        m_saveAs();
        return;
    }
    if (isBlank(m_document.field(ChannelField::Title))) {
        m_services.messages.notice(QStringLiteral("You forgot to add title."));
        m_focusTitle();
        return;
    }
    if (m_document.episodeCount() == 0) {
        m_services.messages.notice(QStringLiteral("You forgot to add episode(s)."));
        return;
    }
    const QString path = m_path;
    const std::optional<DiskStamp> onDisk = m_work.run<DiskStamp>(
        QStringLiteral("Checking %1 on disk…").arg(QFileInfo(path).fileName()),
        [path](ForwardedServices &) { return stampOf(path); });
    if (!onDisk)
        return;
    if (QFileInfo::exists(m_path) && *onDisk != m_stamp) {
        const auto answer = m_services.messages.question(
            QStringLiteral("The file has changed on disk since it was opened. Overwrite, "
                           "Reload or Cancel?"),
            QString(), MessageService::Buttons::OverwriteReloadCancel,
            MessageService::Answer::Cancel);
        if (answer == MessageService::Answer::No)
            reload();
        if (answer != MessageService::Answer::Yes)
            return;
    }
    if (const QString problem = SaveToFile::writeProblem(m_path); !problem.isEmpty()) {
        offerSaveAs(problem);
        return;
    }
    struct Saved {
        SaveToFile::Result result;
        DiskStamp stamp;
    };
    const PodcastContent snapshot = m_document.content();
    const BuildDate::Clock clock = m_services.clock;
    const std::optional<Saved> saved = m_work.run<Saved>(
        QStringLiteral("Saving %1…").arg(QFileInfo(path).fileName()),
        [snapshot, path, clock](ForwardedServices &) {
            PodcastDocument document;
            document.replaceContent(snapshot);
            Saved done{SaveToFile::save(document, path, clock), {}};
            if (done.result.status == SaveToFile::Result::Status::Saved)
                done.stamp = stampOf(path);
            return done;
        },
        BackgroundWork::OnCancel::KeepResult);
    // Cancelled before the file was replaced: it stands as it was.
    if (!saved ||
        (m_work.lastCancelled() && saved->result.status != SaveToFile::Result::Status::Saved))
        return;
    const SaveToFile::Result &result = saved->result;
    switch (result.status) {
    case SaveToFile::Result::Status::Saved:
        m_undoStack.markSaved();
        setPath(m_path, saved->stamp);
        return;
    case SaveToFile::Result::Status::NotWellFormed: {
        // Values that escaping mends: the fix is offered in the refusal,
        // and the save goes on once it is made.
        FindingFixes fixes(m_document, m_undoStack, m_path);
        if (FeedFix::fixRefusal(m_document)) {
            const auto answer = m_services.messages.question(
                QStringLiteral("XML is not valid.\n\n%1\n\nWrite each such character as "
                               "shown, as one step you can undo, and save?")
                    .arg(result.detail),
                QString(), MessageService::Buttons::YesNo, MessageService::Answer::Yes);
            if (answer == MessageService::Answer::Yes && fixes.applyRefusalFix())
                save();
            return;
        }
        m_services.messages.notice(QStringLiteral("XML is not valid."), result.detail);
        return;
    }
    case SaveToFile::Result::Status::WriteFailed:
        offerSaveAs(result.detail);
        return;
    }
}

void FeedFileCommands::savedTo(const QString &path, const DiskStamp &stamp) {
    setPath(path, stamp);
}
