#include "FeedFileCommands.h"

#include "FindingFixes.h"
#include "feed/FeedFix.h"

#include "DocumentUndoStack.h"
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

// The one thing the editor keeps between runs: which feeds were used.
QSettings settings() {
    return QSettings(QStringLiteral("Brindlewood"), QStringLiteral("brindlewood-feed-editor"));
}

bool isBlank(const QString &text) {
    return text.trimmed().isEmpty();
}
} // namespace

FeedFileCommands::FeedFileCommands(QWidget &window, PodcastDocument &document,
                                   DocumentUndoStack &undoStack, MainWindowServices &services,
                                   std::function<void()> saveAs, std::function<void()> focusTitle)
    : QObject(&window)
    , m_window(window)
    , m_document(document)
    , m_undoStack(undoStack)
    , m_services(services)
    , m_saveAs(std::move(saveAs))
    , m_focusTitle(std::move(focusTitle)) {
    connect(&m_document, &PodcastDocument::documentChangedFlagChanged, this,
            [this](bool changed) { m_window.setWindowModified(changed); });
}

QStringList FeedFileCommands::recentFiles() {
    return settings().value(QLatin1StringView(RecentKey)).toStringList();
}

void FeedFileCommands::remember(const QString &path) {
    QSettings stored = settings();
    QStringList files = stored.value(QLatin1StringView(RecentKey)).toStringList();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    files.removeAll(absolute);
    files.prepend(absolute);
    while (files.size() > RecentLimit)
        files.removeLast();
    stored.setValue(QLatin1StringView(RecentKey), files);
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

void FeedFileCommands::setPath(const QString &path) {
    m_path = QFileInfo(path).absoluteFilePath();
    m_stamp = stampOf(m_path);
    remember(m_path);
    Q_EMIT recentFilesChanged();
    updateTitle();
}

void FeedFileCommands::forget() {
    m_path.clear();
    m_stamp = {};
    updateTitle();
}

void FeedFileCommands::updateTitle() {
    const QString product = QString::fromUtf8(ApplicationTitle::ProductTitle);
    m_window.setWindowFilePath(m_path);
    m_window.setWindowTitle(m_path.isEmpty() ? product
                                             : QFileInfo(m_path).fileName() +
                                                   QStringLiteral("[*] — ") + product);
    m_window.setWindowModified(m_document.DocumentChanged());
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

bool FeedFileCommands::openPath(const QString &path) {
    PodcastDocument loaded;
    bool repaired = false;
    if (!loadPodcastFile(path, loaded, m_services.messages, m_services.errors)) {
        // After "Fail to load XML.", a file that can be mended is offered.
        if (!RepairPodcast::offer(path, loaded, m_services.messages, m_services.errors))
            return false;
        repaired = true;
    }
    m_document.replaceContent(loaded.content());
    // A document just opened is the file: nothing to undo, nothing to save;
    // a repaired copy is not the file yet, so it stays to be saved.
    m_undoStack.clear();
    m_undoStack.markSaved();
    if (repaired)
        m_document.setDocumentChanged(true);
    setPath(path);
    return true;
}

void FeedFileCommands::reload() {
    PodcastDocument loaded;
    if (!loadPodcastFile(m_path, loaded, m_services.messages, m_services.errors))
        return;
    // Undoable, so the changes the reload replaced are not lost.
    m_undoStack.push(new ReplaceDocumentCommand(m_document, QStringLiteral("Reload"),
                                                m_document.content(), loaded.content(),
                                                ReplaceDocumentCommand::Applied::No));
    m_undoStack.markSaved();
    setPath(m_path);
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
    if (QFileInfo::exists(m_path) && stampOf(m_path) != m_stamp) {
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
    const SaveToFile::Result result = SaveToFile::save(m_document, m_path, m_services.clock);
    switch (result.status) {
    case SaveToFile::Result::Status::Saved:
        m_undoStack.markSaved();
        setPath(m_path);
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

void FeedFileCommands::savedTo(const QString &path) {
    setPath(path);
}
