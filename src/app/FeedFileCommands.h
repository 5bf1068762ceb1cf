#pragma once

#include "MainWindowServices.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class BackgroundWork;
class DocumentUndoStack;
class PodcastDocument;
class QWidget;

// The file a document belongs to, and the commands a desktop program has
// around it: Open replaces the document, Save writes back to its file, the
// title names the file and shows unsaved changes, and recently used files
// are remembered. The designed buttons keep their own flows (MainWindow).
class FeedFileCommands : public QObject {
    Q_OBJECT

public:
    // `saveAs` runs the save flow with its dialog; `focusTitle` puts the
    // cursor in the title box.
    FeedFileCommands(QWidget &window, PodcastDocument &document, DocumentUndoStack &undoStack,
                     MainWindowServices &services, BackgroundWork &work,
                     std::function<void()> saveAs, std::function<void()> focusTitle);

    QString path() const { return m_path; }

    // File ▸ Open…: asks first when there are unsaved changes.
    void open();
    // Replaces the document with the feed at `path`, with a fresh history.
    // False (and nothing changed) when the file does not load.
    bool openPath(const QString &path);
    // File ▸ Open Recent: as Open with `path`; a file no longer there is
    // offered for removal from the list instead.
    void openRecent(const QString &path);
    // File ▸ Save: back to the document's file, else the save flow.
    void save();
    // What a file on disk was when it was last read or written.
    struct DiskStamp {
        qint64 size = -1;
        QDateTime modified;
        QByteArray hash;
        bool operator==(const DiskStamp &other) const = default;
    };
    // Reads the whole file: for work off the window's thread.
    static DiskStamp stampOf(const QString &path);

    // A save flow wrote the document to `path`: it is now the document's file.
    void savedTo(const QString &path, const DiskStamp &stamp);
    // New: the document has no file any more.
    void forget();
    // New undone: the document is that file's again, as it was read or written.
    DiskStamp stamp() const { return m_stamp; }
    void restore(const QString &path, const DiskStamp &stamp);
    // Asks whether to save before the document is replaced; false means the
    // user cancelled (or the save did not happen).
    bool settleUnsavedChanges(const QString &before);

    // The most recently used files, newest first.
    static QStringList recentFiles();
    static constexpr int RecentLimit = 10;

Q_SIGNALS:
    void recentFilesChanged();

private:
    void setPath(const QString &path, const DiskStamp &stamp);
    void updateTitle();
    void reload();
    bool offerSaveAs(const QString &why);
    static void remember(const QString &path);

    QWidget &m_window;
    PodcastDocument &m_document;
    DocumentUndoStack &m_undoStack;
    MainWindowServices &m_services;
    BackgroundWork &m_work;
    std::function<void()> m_saveAs;
    std::function<void()> m_focusTitle;
    QString m_path;
    DiskStamp m_stamp;
};
