#pragma once

#include "MainWindowServices.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class BackgroundWork;
class DocumentFlows;
class DocumentUndoStack;
class EpisodeDialog;
class EpisodeList;
class PodcastDocument;
class QMimeData;
class QTreeView;
class QWidget;

// The commands on the episode list: the form's Add, Edit and Delete buttons
// with their numbered steps, the list's Delete key and double-click, moving
// and sorting, and episodes made from media files chosen or dropped.
class EpisodeCommands : public QObject {
    Q_OBJECT

public:
    EpisodeCommands(QWidget &window, PodcastDocument &document, DocumentUndoStack &undoStack,
                    MainWindowServices &services, BackgroundWork &work, EpisodeList &list,
                    QTreeView &view, DocumentFlows &flows, QString applicationFolder);

    void addEpisode();    // "Add New Episode"
    void editEpisode();   // "Edit Episode"
    void deleteEpisode(); // "Delete Episode"
    // Edit Episode with the focus in one column's box (-1: the first box),
    // or with its More Tags open at `tag`.
    void editSelectedEpisode(int focusColumn, const QString &tag = QString());
    void deleteKeyPressed();
    void listDoubleClicked();
    void moveSelectedEpisode(int step);
    // Episode ▸ Sort by Publication Date: newest first, as one step.
    void sortByPublicationDate();

    void addMediaFromDialog();
    // One episode per media file, where the newest episodes are, in one
    // undoable step; they are selected.
    void addMediaFiles(const QStringList &paths);
    // Audio and video become episodes, a feed file is loaded, anything else
    // is refused.
    void dropFiles(const QMimeData &data);

private:
    bool removeSelectedEpisode();
    std::unique_ptr<EpisodeDialog> createEpisodeDialog(qsizetype selected);
    // Shows the dialog; the episode its Save made becomes one step of the
    // history.
    void showEpisodeDialog(EpisodeDialog &dialog);

    QWidget &m_window;
    PodcastDocument &m_document;
    DocumentUndoStack &m_undoStack;
    MainWindowServices &m_services;
    BackgroundWork &m_work;
    EpisodeList &m_list;
    QTreeView &m_view;
    DocumentFlows &m_flows;
    QString m_applicationFolder;
};
