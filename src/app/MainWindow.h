#pragma once

#include "CommandKeys.h"
#include "MainWindowServices.h"
#include "feed/FeedFinding.h"
#include "model/ChannelField.h"
#include "model/PodcastContent.h"

#include <QWidget>

class BackgroundWork;
class DocumentFlows;
class DocumentUndoStack;
class EpisodeCommands;
class EpisodeList;
class FeedFileCommands;
class FieldUndoRouter;
class HoverCursorRule;
class MainForm;
class PodcastDocument;
class QAction;
class QLineEdit;
class QMenu;
class QMenuBar;
class QMimeData;
class QTreeView;

// The editor window: a menu bar above the designed form (`Form1`). It owns
// the one PodcastDocument and its undo history, and the commands (menus,
// keys, the form's buttons); the form, the list's behaviour and the flows
// are classes of their own that it connects.
class MainWindow : public QWidget {
    Q_OBJECT

public:
    explicit MainWindow(MainWindowServices services, QWidget *parent = nullptr);
    ~MainWindow() override;

    PodcastDocument &document() const { return *m_document; }
    bool SaveSucceeded() const;

    // Episode number of the selected row, 0 when none is selected.
    qsizetype selectedEpisode() const;
    // Selects one row (0 clears the selection).
    void selectEpisode(qsizetype number);

    // Loads a feed named on the command line ("Open with" from the desktop).
    void openFeed(const QString &path);

    QLineEdit *fieldBox(int index) const;
    QTreeView *episodeList() const;
    // "Check Feed" (F7): the document as it stands against the directories' rules.
    QAction *checkFeedAction() const { return m_checkFeed; }
    // "More Tags…" (Ctrl+T): the podcast's tags that the form has no box for.
    QAction *moreTagsAction() const { return m_moreTags; }

    // The designed form below the menu bar.
    QWidget *form() const;
    QMenuBar *menuBar() const { return m_menuBar; }
    DocumentUndoStack &undoStack() const { return *m_undoStack; }
    // Open, Save and the file the document belongs to.
    FeedFileCommands &fileCommands() const { return *m_files; }
    FieldUndoRouter &fieldUndoRouter() const { return *m_fieldUndo; }

    // Files dropped on the list, as its tooltip invites: audio and video
    // become episodes, a feed file is loaded, anything else is refused.
    void dropFiles(const QMimeData &data);
    // One episode per media file in one undoable step, selected.
    void addMediaFiles(const QStringList &paths);
    EpisodeCommands &episodeCommands() const { return *m_episodes; }
    // Load, save, check and media work, off the window's thread.
    BackgroundWork &backgroundWork() const { return *m_work; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void addShortcuts();
    void buildMenus();
    void buildFileMenu();
    void buildEpisodeMenu();
    QAction *addCommand(QMenu &menu, const QString &text, const char *name, EditorCommand command);
    void updateEpisodeCommands();
    void load();
    void restoreSize();
    void saveSize() const;

    void focusTitle();
    void fillRecentMenu();
    void addCheckFeedCommand();
    void checkFeed();
    void goToFinding(const FeedFinding &finding);
    void addMoreTagsCommand();
    // The channel's More Tags, with the cursor on `tag` when one is given.
    void editPodcastTags(const QString &tag = QString());

    MainWindowServices m_services;
    QString m_applicationFolder;
    PodcastDocument *m_document = nullptr;
    DocumentUndoStack *m_undoStack = nullptr;
    FieldUndoRouter *m_fieldUndo = nullptr;
    FeedFileCommands *m_files = nullptr;
    HoverCursorRule *m_hover = nullptr;
    MainForm *m_form = nullptr;
    EpisodeList *m_list = nullptr;
    DocumentFlows *m_flows = nullptr;
    EpisodeCommands *m_episodes = nullptr;
    BackgroundWork *m_work = nullptr;

    QMenuBar *m_menuBar = nullptr;
    QMenu *m_recentMenu = nullptr;
    QAction *m_checkFeed = nullptr;
    QAction *m_moreTags = nullptr;
    QAction *m_undo = nullptr;
    QAction *m_redo = nullptr;
    QAction *m_editEpisode = nullptr;
    QAction *m_deleteEpisode = nullptr;
    QAction *m_moveUp = nullptr;
    QAction *m_moveDown = nullptr;
    QAction *m_sort = nullptr;
};
