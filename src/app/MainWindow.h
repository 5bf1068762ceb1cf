#pragma once

#include "CommandKeys.h"
#include "MainWindowServices.h"
#include "feed/FeedFinding.h"
#include "model/ChannelField.h"
#include "model/PodcastContent.h"

#include <QWidget>
#include <array>
#include <memory>

class DocumentUndoStack;
class FeedFileCommands;
class FieldUndoRouter;
class HoverCursorRule;
class PodcastDocument;
class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QMimeData;
class QModelIndex;
class QPushButton;
class QTreeView;

// The editor window: a menu bar above the designed form (`Form1`) with the
// twelve Channel fields, the Episode list and the eight command buttons. The
// boxes and the list show the one PodcastDocument the window owns; every
// command works on that document, through its one undo history.
class MainWindow : public QWidget {
    Q_OBJECT

public:
    explicit MainWindow(MainWindowServices services, QWidget *parent = nullptr);
    ~MainWindow() override;

    PodcastDocument &document() const { return *m_document; }
    bool SaveSucceeded() const { return m_saveSucceeded; }

    // Episode number of the selected row, 0 when none is selected.
    qsizetype selectedEpisode() const;
    // Selects one row (0 clears the selection).
    void selectEpisode(qsizetype number);

    // Loads a feed named on the command line ("Open with" from the desktop).
    void openFeed(const QString &path);

    QLineEdit *fieldBox(int index) const { return m_fields[index]; }
    QTreeView *episodeList() const { return m_list; }
    // "Check Feed" (F7): the document as it stands against the directories' rules.
    QAction *checkFeedAction() const { return m_checkFeed; }
    // "More Tags…" (Ctrl+T): the podcast's tags that the form has no box for.
    QAction *moreTagsAction() const { return m_moreTags; }

    // The designed form below the menu bar.
    QWidget *form() const { return m_form; }
    QMenuBar *menuBar() const { return m_menuBar; }
    DocumentUndoStack &undoStack() const { return *m_undoStack; }
    // Open, Save and the file the document belongs to.
    FeedFileCommands &fileCommands() const { return *m_files; }
    FieldUndoRouter &fieldUndoRouter() const { return *m_fieldUndo; }

    // Files dropped on the list, as its tooltip invites: audio and video
    // become episodes, a feed file is loaded, anything else is refused.
    void dropFiles(const QMimeData &data);
    // Appends one episode per media file in one undoable step, selects them.
    void addMediaFiles(const QStringList &paths);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class SaveOutcome { MissingTitle, NoEpisodes, Saved, NotSaved };

    void buildControls();
    void addShortcuts();
    void buildMenus();
    QAction *addCommand(QMenu &menu, const QString &text, const char *name, EditorCommand command);
    void updateEpisodeCommands();
    void load();

    QString listToolTipAt(const QPoint &viewportPos) const;
    bool cellCutOff(const QModelIndex &index, const QString &text) const;
    void selectCurrentRow();

    void addEpisode();
    void editEpisode();
    // Edit Episode with the focus in one column's box (-1: the first box).
    void editSelectedEpisode(int focusColumn);
    void deleteEpisode();
    void deleteKeyPressed();
    void listDoubleClicked();
    void saveDocument();
    void newDocument();
    void showHelp();
    void loadFeed();
    void loadSample();
    void addCheckFeedCommand();
    void checkFeed();
    void goToFinding(const FeedFinding &finding);
    void addMoreTagsCommand();
    // The channel's More Tags, with the cursor on `tag` when one is given.
    void editPodcastTags(const QString &tag = QString());
    void addMediaFromDialog();
    void moveSelectedEpisode(int step);
    void selectEpisodes(qsizetype first, qsizetype count);
    // A load read straight into the document becomes one step of the history.
    void recordLoad(const QString &text, const PodcastContent &before);
    void loadDroppedFeed(const QString &path);
    void fillRecentMenu();
    bool urlDragEvent(QEvent *event);

    bool titleMissing() const;
    void focusTitle();
    bool runSavePodcast();
    SaveOutcome saveBeforeClosing();
    enum class RemovedBy { Button, DeleteKey };
    bool removeSelectedEpisode(RemovedBy trigger);
    // Shows the dialog; what its Save wrote into the document is recorded
    // as one step of the history.
    void showEpisodeDialog(EpisodeDialog &dialog);
    std::unique_ptr<EpisodeDialog> createEpisodeDialog(qsizetype selected);

    MainWindowServices m_services;
    QString m_applicationFolder;
    PodcastDocument *m_document = nullptr;
    DocumentUndoStack *m_undoStack = nullptr;
    FieldUndoRouter *m_fieldUndo = nullptr;
    FeedFileCommands *m_files = nullptr;
    QMenu *m_recentMenu = nullptr;
    bool m_saveSucceeded = false;

    std::array<QLineEdit *, ChannelField::Count> m_fields{};
    std::array<QLabel *, ChannelField::Count> m_labels{};
    std::array<QPushButton *, 9> m_buttons{}; // by button number; 0 unused
    QGroupBox *m_podcastFrame = nullptr;
    QGroupBox *m_episodeFrame = nullptr;
    QTreeView *m_list = nullptr;
    HoverCursorRule *m_hover = nullptr;
    QAction *m_checkFeed = nullptr;
    QAction *m_moreTags = nullptr;

    QWidget *m_form = nullptr;
    QMenuBar *m_menuBar = nullptr;
    QAction *m_undo = nullptr;
    QAction *m_redo = nullptr;
    QAction *m_editEpisode = nullptr;
    QAction *m_deleteEpisode = nullptr;
    QAction *m_moveUp = nullptr;
    QAction *m_moveDown = nullptr;
};
