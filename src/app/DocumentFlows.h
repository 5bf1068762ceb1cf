#pragma once

#include "MainWindowServices.h"

#include <QObject>
#include <QString>
#include <functional>

class BackgroundWork;
class DocumentUndoStack;
class ForwardedServices;
class FeedFileCommands;
class PodcastDocument;
struct PodcastContent;
class StepGuard;

// What the form's document buttons do: Save This As, New, Load, the sample
// and Help, with their numbered steps; a feed named on the command line or
// dropped on the list; and the one "save first?" answer that New and
// closing share.
class DocumentFlows : public QObject {
    Q_OBJECT

public:
    enum class SaveOutcome { MissingTitle, NoEpisodes, Saved, NotSaved };

    DocumentFlows(PodcastDocument &document, DocumentUndoStack &undoStack,
                  MainWindowServices &services, BackgroundWork &work, FeedFileCommands &files,
                  QString applicationFolder, std::function<void()> focusTitle,
                  QObject *parent = nullptr);

    bool saveSucceeded() const { return m_saveSucceeded; }

    void saveAs();      // "Save This As Podcast.xml"
    void newDocument(); // "New Podcast.xml"
    void showHelp();    // "Help"
    void loadFeed();    // "Load Podcast.xml"
    void loadSample();  // "Load Sample/Example Podcast"
    // A feed from the command line or dropped on the list: opened into an
    // empty window, otherwise added as "Load Podcast.xml" adds it.
    void openOrAdd(const QString &path);

    // Asks before unsaved changes are closed; false keeps the window open.
    bool mayClose();

private:
    bool titleMissing() const;
    bool runSavePodcast();
    // The title and episode checks and then the save flow; `guard` numbers
    // the steps when the form's New asks.
    SaveOutcome saveFirst(StepGuard *guard);
    // Runs a load on a copy of the document, off the window's thread, and
    // makes what it read one step of the history.
    void loadOffWindow(const QString &text, const QString &label,
                       std::function<void(PodcastDocument &, ForwardedServices &)> load);

    PodcastDocument &m_document;
    DocumentUndoStack &m_undoStack;
    MainWindowServices &m_services;
    BackgroundWork &m_work;
    FeedFileCommands &m_files;
    QString m_applicationFolder;
    std::function<void()> m_focusTitle;
    bool m_saveSucceeded = false;
};
