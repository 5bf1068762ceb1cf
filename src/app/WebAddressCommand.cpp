#include "WebAddressCommand.h"

#include "DocumentUndoStack.h"
#include "FeedFileCommands.h"
#include "feed/LoadPodcast.h"
#include "feed/MessageService.h"
#include "feed/RepairPodcast.h"
#include "model/PodcastDocument.h"

#include <QEventLoop>
#include <QFile>
#include <QFutureWatcher>
#include <QInputDialog>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QWidget>
#include <QtConcurrent/QtConcurrentRun>

WebAddressCommand::WebAddressCommand(QWidget &window, PodcastDocument &document,
                                     DocumentUndoStack &undoStack, FeedFileCommands &files,
                                     MainWindowServices &services)
    : QObject(&window)
    , m_window(window)
    , m_document(document)
    , m_undoStack(undoStack)
    , m_files(files)
    , m_services(services) {
    setObjectName(QStringLiteral("WebAddressCommand"));
}

void WebAddressCommand::open() {
    if (!m_files.settleUnsavedChanges(QStringLiteral("opening another feed")))
        return;
    std::optional<QString> url;
    if (m_ask) {
        url = m_ask();
    } else {
        bool ok = false;
        const QString text =
            QInputDialog::getText(&m_window, QStringLiteral("Open Web Address"),
                                  QStringLiteral("Address of the feed (http:// or https://):"),
                                  QLineEdit::Normal, QString(), &ok);
        if (ok)
            url = text;
    }
    if (url && !url->trimmed().isEmpty())
        openAddress(url->trimmed());
}

FeedDownload::Result WebAddressCommand::download(const QString &url) {
    // The window is blocked meanwhile, but it keeps painting.
    QProgressDialog progress(QStringLiteral("Downloading %1…").arg(url), QString(), 0, 0,
                             &m_window);
    progress.setObjectName(QStringLiteral("DownloadProgress"));
    progress.setWindowTitle(QStringLiteral("Open Web Address"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    QFutureWatcher<FeedDownload::Result> watcher;
    QEventLoop loop;
    connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    const auto fetch =
        m_fetch ? m_fetch : [](const QString &address) { return FeedDownload::fetch(address); };
    watcher.setFuture(QtConcurrent::run(fetch, url));
    if (!watcher.isFinished())
        loop.exec();
    return watcher.result();
}

bool WebAddressCommand::openAddress(const QString &url) {
    if (!FeedDownload::isWebAddress(url)) {
        m_services.messages.notice(
            QStringLiteral("\"%1\" is not a web address: it must start with http:// or "
                           "https://.")
                .arg(url));
        return false;
    }
    const FeedDownload::Result fetched = download(url);
    if (!fetched.error.isEmpty()) {
        m_services.messages.notice(fetched.error);
        return false;
    }
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("feed.xml")));
    if (!folder.isValid() || !file.open(QIODevice::WriteOnly) ||
        file.write(fetched.bytes) != fetched.bytes.size() || !file.flush()) {
        m_services.messages.notice(
            QStringLiteral("The feed from %1 cannot be kept in a temporary file: %2")
                .arg(url, folder.isValid() ? file.errorString() : folder.errorString()));
        return false;
    }
    file.close();
    PodcastDocument loaded;
    // A feed that is almost XML is offered mended, as Open offers it.
    if (!loadPodcastFile(file.fileName(), loaded, m_services.messages, m_services.errors) &&
        !RepairPodcast::offer(file.fileName(), loaded, m_services.messages, m_services.errors))
        return false;
    m_document.replaceContent(loaded.content());
    // Like a new document: nothing to undo, and nothing saved yet, so Save
    // asks for a file name.
    m_undoStack.clear();
    m_files.forget();
    m_document.setDocumentChanged(true);
    return true;
}
