#include "MainWindow.h"

#include "BackgroundWork.h"
#include "CommandKeys.h"
#include "DocumentFlows.h"
#include "DocumentUndoStack.h"
#include "EditorSettings.h"
#include "EpisodeCommands.h"
#include "EpisodeList.h"
#include "FeedFileCommands.h"
#include "FieldUndoRouter.h"
#include "FindingFixes.h"
#include "MainForm.h"
#include "MoveEpisodesCommand.h"
#include "PublishFlow.h"
#include "SetFieldCommand.h"
#include "SetKeptContentCommand.h"
#include "SetNamespacesCommand.h"
#include "WebAddressCommand.h"
#include "dialogs/FeedCheckDialog.h"
#include "dialogs/LargerBoxAction.h"
#include "dialogs/MoreTagsDialog.h"
#include "feed/ApplicationFolder.h"
#include "feed/ApplicationTitle.h"
#include "feed/ErrorReporter.h"
#include "feed/FeedCheck.h"
#include "feed/FileExists.h"
#include "feed/Locations.h"
#include "feed/StepGuard.h"
#include "look/ApplySkin.h"
#include "look/CentreOnScreen.h"
#include "look/FormLook.h"
#include "look/HandCursor.h"
#include "look/HoverCursorRule.h"
#include "model/PodcastDocument.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
const auto WindowSizeKey = QStringLiteral("window/size");
} // namespace

MainWindow::MainWindow(MainWindowServices services, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint)
    , m_services(std::move(services))
    , m_applicationFolder(m_services.applicationFolder.isEmpty() ? ApplicationFolder::path()
                                                                 : m_services.applicationFolder)
    , m_document(new PodcastDocument(this))
    , m_undoStack(new DocumentUndoStack(*m_document, this)) {
    buildControls();
    m_work = new BackgroundWork(*this, m_services.messages, m_services.errors, m_services.dialogs);
    m_files = new FeedFileCommands(
        *this, *m_document, *m_undoStack, m_services, *m_work,
        [this] { m_form->button(3)->click(); }, [this] { focusTitle(); });
    m_flows = new DocumentFlows(
        *m_document, *m_undoStack, m_services, *m_work, *m_files, m_applicationFolder,
        [this] { focusTitle(); }, this);
    m_episodes = new EpisodeCommands(*this, *m_document, *m_undoStack, m_services, *m_work, *m_list,
                                     *m_form->list(), *m_flows, m_applicationFolder);
    connect(m_list, &EpisodeList::deletePressed, m_episodes, &EpisodeCommands::deleteKeyPressed);
    connect(m_list, &EpisodeList::doubleClicked, m_episodes, &EpisodeCommands::listDoubleClicked);
    connect(m_list, &EpisodeList::filesDropped, m_episodes, &EpisodeCommands::dropFiles);

    connect(m_form->button(1), &QPushButton::clicked, m_episodes, &EpisodeCommands::addEpisode);
    connect(m_form->button(2), &QPushButton::clicked, m_episodes, &EpisodeCommands::deleteEpisode);
    connect(m_form->button(3), &QPushButton::clicked, m_flows, &DocumentFlows::saveAs);
    connect(m_form->button(4), &QPushButton::clicked, m_episodes, &EpisodeCommands::editEpisode);
    connect(m_form->button(5), &QPushButton::clicked, m_flows, &DocumentFlows::newDocument);
    connect(m_form->button(6), &QPushButton::clicked, m_flows, &DocumentFlows::showHelp);
    connect(m_form->button(7), &QPushButton::clicked, m_flows, &DocumentFlows::loadFeed);
    connect(m_form->button(8), &QPushButton::clicked, m_flows, &DocumentFlows::loadSample);

    addShortcuts();
    addCheckFeedCommand();
    addMoreTagsCommand();
    buildMenus();
    // Sized before the layout places the form: a window not shown yet does
    // not lay out again when it is resized.
    restoreSize();
    layout()->activate();
    CentreOnScreen(*this);
    load();
}

MainWindow::~MainWindow() {
    // The list's behaviour watches the list's events; it goes before the
    // list does, which is half taken down while its last events come.
    delete m_list;
}

bool MainWindow::SaveSucceeded() const {
    return m_flows->saveSucceeded();
}

QLineEdit *MainWindow::fieldBox(int index) const {
    return m_form->field(index);
}

QTreeView *MainWindow::episodeList() const {
    return m_form->list();
}

QWidget *MainWindow::form() const {
    return m_form;
}

qsizetype MainWindow::selectedEpisode() const {
    return m_list->selectedEpisode();
}

void MainWindow::selectEpisode(qsizetype number) {
    m_list->selectEpisode(number);
}

void MainWindow::openFeed(const QString &path) {
    m_flows->openOrAdd(path);
}

void MainWindow::dropFiles(const QMimeData &data) {
    m_episodes->dropFiles(data);
}

void MainWindow::addMediaFiles(const QStringList &paths) {
    m_episodes->addMediaFiles(paths);
}

void MainWindow::buildControls() {
    setObjectName(QStringLiteral("MainWindow"));
    setFont(FormLook::formFont());
    FormLook::setBackground(*this, FormLook::designedBackground());
    m_hover = new HoverCursorRule(*this, HandCursor::fallback());

    // The menu bar goes above the designed form, which starts at its
    // designed size and grows with the window.
    m_form = new MainForm(*m_hover, this);
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("MenuBar"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(m_menuBar);
    layout->addWidget(m_form);

    for (int index = 0; index < ChannelField::Count; ++index) {
        // One source of truth: what is typed is the document at once, and what
        // a command writes into the document shows at once.
        connect(m_form->field(index), &QLineEdit::textEdited, m_document,
                [this, index](const QString &text) {
                    m_undoStack->push(new SetFieldCommand(*m_document, index, text));
                });
    }
    connect(m_document, &PodcastDocument::fieldChanged, this,
            [this](int index, const QString &text) {
                QLineEdit *box = m_form->field(index);
                if (box->text() != text) {
                    box->setText(text);
                    // Show a long text from its start, as it reads.
                    box->setCursorPosition(0);
                }
            });
    for (const int index : {ChannelField::Description, ChannelField::Summary}) {
        LargerBoxAction::attach(*m_form->field(index), ChannelField::caption(index),
                                m_services.editLargerText, [this, index](const QString &text) {
                                    m_undoStack->push(
                                        new SetFieldCommand(*m_document, index, text));
                                });
    }

    m_list = new EpisodeList(*m_form->list(), *m_document, this);
    m_document->setMoveHandler([this](qsizetype first, qsizetype count, qsizetype to) {
        m_undoStack->push(new MoveEpisodesCommand(*m_document, first, count, to));
        return true;
    });
    m_form->field(0)->setFocus();
}

void MainWindow::addShortcuts() {
    const std::pair<EditorCommand, int> buttons[] = {
        {EditorCommand::SaveAs, 3}, {EditorCommand::NewDocument, 5}, {EditorCommand::LoadFeed, 7},
        {EditorCommand::Help, 6},   {EditorCommand::EditEpisode, 4}, {EditorCommand::AddEpisode, 1},
    };
    // The keys themselves belong to the menus' entries (buildMenus).
    for (const auto &[command, number] : buttons) {
        QPushButton *button = m_form->button(number);
        button->setToolTip(CommandKeys::toolTip(button->text(), command));
    }
}

QAction *MainWindow::addCommand(QMenu &menu, const QString &text, const char *name,
                                EditorCommand command) {
    QAction *action = menu.addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcuts(CommandKeys::allKeys(command));
    action->setShortcutContext(Qt::WindowShortcut);
    return action;
}

void MainWindow::buildFileMenu() {
    // Each button's entry clicks the button, so that both run the very same
    // command with its messages and steps.
    auto clicks = [this](QAction *action, int number) {
        connect(action, &QAction::triggered, m_form->button(number), &QPushButton::click);
    };
    QMenu *file = m_menuBar->addMenu(QStringLiteral("&File"));
    clicks(addCommand(*file, QStringLiteral("&New Podcast.xml"), "NewAction",
                      EditorCommand::NewDocument),
           5);
    connect(addCommand(*file, QStringLiteral("&Open…"), "OpenAction", EditorCommand::OpenDocument),
            &QAction::triggered, m_files, &FeedFileCommands::open);
    m_recentMenu = file->addMenu(QStringLiteral("Open &Recent"));
    m_recentMenu->setObjectName(QStringLiteral("RecentMenu"));
    connect(m_files, &FeedFileCommands::recentFilesChanged, this, &MainWindow::fillRecentMenu);
    fillRecentMenu();
    QAction *web = file->addAction(QStringLiteral("Open &Web Address…"));
    web->setObjectName(QStringLiteral("OpenWebAddressAction"));
    connect(web, &QAction::triggered,
            new WebAddressCommand(*this, *m_document, *m_undoStack, *m_files, m_services),
            &WebAddressCommand::open);
    file->addSeparator();
    clicks(addCommand(*file, QStringLiteral("A&dd from Podcast.xml…"), "LoadAction",
                      EditorCommand::LoadFeed),
           7);
    QAction *sample = file->addAction(QStringLiteral("Load Sample/&Example Podcast"));
    sample->setObjectName(QStringLiteral("LoadSampleAction"));
    clicks(sample, 8);
    file->addSeparator();
    connect(addCommand(*file, QStringLiteral("&Save"), "SaveAction", EditorCommand::SaveDocument),
            &QAction::triggered, m_files, &FeedFileCommands::save);
    clicks(addCommand(*file, QStringLiteral("Save &As…"), "SaveAsAction", EditorCommand::SaveAs),
           3);
    file->addSeparator();
    QAction *media = file->addAction(QStringLiteral("Add Episodes from &Media Files…"));
    media->setObjectName(QStringLiteral("AddMediaAction"));
    connect(media, &QAction::triggered, m_episodes, &EpisodeCommands::addMediaFromDialog);
    file->addSeparator();
    connect(addCommand(*file, QStringLiteral("&Publish…"), "PublishAction", EditorCommand::Publish),
            &QAction::triggered, new PublishFlow(*this, *m_document, *m_files, m_services.messages),
            &PublishFlow::publish);
    file->addSeparator();
    QAction *quit = addCommand(*file, QStringLiteral("&Quit"), "QuitAction", EditorCommand::Quit);
    connect(quit, &QAction::triggered, this, &QWidget::close);
}

void MainWindow::buildEpisodeMenu() {
    auto clicks = [this](QAction *action, int number) {
        connect(action, &QAction::triggered, m_form->button(number), &QPushButton::click);
    };
    QMenu *episode = m_menuBar->addMenu(QStringLiteral("E&pisode"));
    clicks(addCommand(*episode, QStringLiteral("&Add New Episode…"), "AddEpisodeAction",
                      EditorCommand::AddEpisode),
           1);
    m_editEpisode = addCommand(*episode, QStringLiteral("&Edit Episode…"), "EditEpisodeAction",
                               EditorCommand::EditEpisode);
    clicks(m_editEpisode, 4);
    m_deleteEpisode = addCommand(*episode, QStringLiteral("&Delete Episode"), "DeleteEpisodeAction",
                                 EditorCommand::DeleteEpisode);
    // Shown in the menu; the key itself is the list's, so that Delete in a
    // text box keeps deleting text.
    m_deleteEpisode->setShortcutContext(Qt::WidgetShortcut);
    clicks(m_deleteEpisode, 2);
    episode->addSeparator();
    m_moveUp =
        addCommand(*episode, QStringLiteral("Move &Up"), "MoveUpAction", EditorCommand::MoveUp);
    connect(m_moveUp, &QAction::triggered, m_episodes,
            [this] { m_episodes->moveSelectedEpisode(-1); });
    m_moveDown = addCommand(*episode, QStringLiteral("Move Do&wn"), "MoveDownAction",
                            EditorCommand::MoveDown);
    connect(m_moveDown, &QAction::triggered, m_episodes,
            [this] { m_episodes->moveSelectedEpisode(1); });
    m_sort = episode->addAction(QStringLiteral("&Sort by Publication Date"));
    m_sort->setObjectName(QStringLiteral("SortByDateAction"));
    connect(m_sort, &QAction::triggered, m_episodes, &EpisodeCommands::sortByPublicationDate);
}

void MainWindow::buildMenus() {
    buildFileMenu();

    QMenu *edit = m_menuBar->addMenu(QStringLiteral("&Edit"));
    m_undo = m_undoStack->createUndoAction(this, QStringLiteral("&Undo"));
    m_undo->setObjectName(QStringLiteral("UndoAction"));
    m_undo->setShortcuts(CommandKeys::allKeys(EditorCommand::Undo));
    m_redo = m_undoStack->createRedoAction(this, QStringLiteral("&Redo"));
    m_redo->setObjectName(QStringLiteral("RedoAction"));
    m_redo->setShortcuts(CommandKeys::allKeys(EditorCommand::Redo));
    edit->addAction(m_undo);
    edit->addAction(m_redo);
    edit->addSeparator();
    edit->addAction(m_moreTags);
    edit->addAction(m_checkFeed);
    m_fieldUndo = new FieldUndoRouter(*m_undoStack, *m_undo, *m_redo, this);
    for (QLineEdit *box : m_form->fields())
        m_fieldUndo->watch(*box);

    buildEpisodeMenu();

    QMenu *help = m_menuBar->addMenu(QStringLiteral("&Help"));
    connect(addCommand(*help, QStringLiteral("&Help"), "HelpAction", EditorCommand::Help),
            &QAction::triggered, m_form->button(6), &QPushButton::click);

    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_document, signal, this, &MainWindow::updateEpisodeCommands);
    connect(m_document, &QAbstractItemModel::rowsMoved, this, &MainWindow::updateEpisodeCommands);
    connect(m_document, &QAbstractItemModel::modelReset, this, &MainWindow::updateEpisodeCommands);
    connect(m_list, &EpisodeList::selectionChanged, this, &MainWindow::updateEpisodeCommands);
    updateEpisodeCommands();
}

// An entry is enabled only where it can act.
void MainWindow::updateEpisodeCommands() {
    const qsizetype selected = m_list->selectedEpisode();
    const qsizetype count = m_document->episodeCount();
    m_editEpisode->setEnabled(selected > 0);
    m_deleteEpisode->setEnabled(selected > 0);
    m_moveUp->setEnabled(selected > 1);
    m_moveDown->setEnabled(selected > 0 && selected < count);
    m_sort->setEnabled(count > 1);
}

void MainWindow::load() {
    StepGuard guard(m_services.errors, Locations::form1("Form_Load"));
    guard.step(100, [&] { ApplySkin(*this, m_applicationFolder); });
    const QString handPath = HandCursor::path(m_applicationFolder);
    bool handFound = false;
    guard.step(102, [&] { handFound = FileExists(handPath); });
    if (handFound)
        guard.step(104, [&] { m_hover->setHand(HandCursor::load(handPath)); });
    guard.step(106, [&] { setWindowTitle(QString::fromUtf8(ApplicationTitle::ProductTitle)); });
    guard.step(108, [&] { setWindowIcon(QApplication::windowIcon()); });
    guard.step(110, [] { SetApplicationTitle(); });
    // The thirteen column headers come with the document's model.
    guard.step(112, [&] {
        m_list->showDocument();
        m_list->restoreColumnWidths();
    });
    guard.step(114, [&] { m_document->setDocumentChanged(false); });
}

// The window opens at the size it was left at, never below the designed
// form and never beyond the screen.
void MainWindow::restoreSize() {
    const QSize least = minimumSizeHint().expandedTo(minimumSize());
    QSize size = EditorSettings::open().value(WindowSizeKey).toSize();
    if (!size.isValid())
        size = least;
    if (const QScreen *screen = this->screen())
        size = size.boundedTo(screen->availableGeometry().size());
    resize(size.expandedTo(least));
}

void MainWindow::saveSize() const {
    if (!isMaximized() && !isFullScreen())
        EditorSettings::open().setValue(WindowSizeKey, size());
}

void MainWindow::focusTitle() {
    m_form->field(ChannelField::Title)->setFocus();
}

void MainWindow::fillRecentMenu() {
    m_recentMenu->clear();
    const QStringList files = FeedFileCommands::recentFiles();
    for (const QString &path : files) {
        QAction *entry = m_recentMenu->addAction(QDir::toNativeSeparators(path));
        connect(entry, &QAction::triggered, this, [this, path] { m_files->openRecent(path); });
    }
    m_recentMenu->setEnabled(!files.isEmpty());
}

// Check Feed

void MainWindow::addCheckFeedCommand() {
    // A window action, not a box's: no text box has a use for F7.
    m_checkFeed = new QAction(QStringLiteral("Check Feed"), this);
    m_checkFeed->setObjectName(QStringLiteral("CheckFeedAction"));
    m_checkFeed->setShortcut(CommandKeys::keys(EditorCommand::CheckFeed));
    m_checkFeed->setShortcutContext(Qt::WindowShortcut);
    m_checkFeed->setToolTip(
        CommandKeys::toolTip(QStringLiteral("Check Feed"), EditorCommand::CheckFeed));
    connect(m_checkFeed, &QAction::triggered, this, &MainWindow::checkFeed);
    addAction(m_checkFeed);
}

void MainWindow::checkFeed() {
    const PodcastContent snapshot = m_document->content();
    const std::optional<QList<FeedFinding>> findings = m_work->run<QList<FeedFinding>>(
        QStringLiteral("Checking the feed…"), [snapshot](ForwardedServices &) {
            PodcastDocument document;
            document.replaceContent(snapshot);
            return FeedCheck::check(document);
        });
    if (!findings)
        return;
    FeedCheckDialog dialog(*findings, this);
    FindingFixes fixes(*m_document, *m_undoStack, m_files->path());
    fixes.attach(dialog);
    if (m_services.showFeedCheckDialog)
        m_services.showFeedCheckDialog(dialog);
    else
        dialog.exec();
    if (dialog.chosen())
        goToFinding(*dialog.chosen());
}

void MainWindow::goToFinding(const FeedFinding &finding) {
    const FeedFinding::Place &place = finding.place;
    if (place.isField()) {
        m_form->field(place.field)->setFocus();
        m_form->field(place.field)->selectAll();
        return;
    }
    if (place.episode == 0 && !place.tag.isEmpty()) {
        editPodcastTags(place.tag); // the channel's kept content, at the tag
        return;
    }
    if (place.episode < 1 || place.episode > m_document->episodeCount())
        return;
    m_list->selectEpisode(place.episode);
    m_form->list()->setFocus();
    m_episodes->editSelectedEpisode(place.column, place.tag);
}

// More Tags

void MainWindow::addMoreTagsCommand() {
    // Ctrl+T, as in the episode dialog: no text box takes it under any key scheme.
    m_moreTags = new QAction(QStringLiteral("More Tags…"), this);
    m_moreTags->setObjectName(QStringLiteral("MoreTagsAction"));
    m_moreTags->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    m_moreTags->setShortcutContext(Qt::WindowShortcut);
    m_moreTags->setToolTip(QStringLiteral("More Tags (%1)")
                               .arg(m_moreTags->shortcut().toString(QKeySequence::NativeText)));
    connect(m_moreTags, &QAction::triggered, this, [this] { editPodcastTags(); });
    addAction(m_moreTags);
    // Found by a right-click on the podcast's frame, beside the boxes.
    QGroupBox *frame = m_form->podcastFrame();
    frame->addAction(m_moreTags);
    frame->addAction(m_checkFeed);
    frame->setContextMenuPolicy(Qt::ActionsContextMenu);
    frame->setToolTip(QStringLiteral("Right-click: More Tags… (%1), Check Feed (%2)")
                          .arg(m_moreTags->shortcut().toString(QKeySequence::NativeText),
                               m_checkFeed->shortcut().toString(QKeySequence::NativeText)));
}

void MainWindow::editPodcastTags(const QString &tag) {
    TagTemplates::Context context;
    context.websiteLink = m_document->field(ChannelField::Link);
    context.ownerEmail = m_document->field(ChannelField::OwnerEmail);
    MoreTagsDialog dialog(MoreTagsDialog::Scope::Podcast, m_document->channelExtra(),
                          m_document->namespaces(), context, m_services.messages, this);
    if (!tag.isEmpty())
        dialog.placeCursorAtTag(tag);
    const int result =
        m_services.showMoreTagsDialog ? m_services.showMoreTagsDialog(dialog) : dialog.exec();
    if (result != QDialog::Accepted)
        return;
    if (dialog.addedNamespaces().isEmpty() && dialog.block() == m_document->channelExtra())
        return;
    // The prefixes it declared go with the tags, in one step.
    m_undoStack->beginMacro(QStringLiteral("More Tags"));
    if (!dialog.addedNamespaces().isEmpty())
        m_undoStack->push(new SetNamespacesCommand(*m_document, m_document->namespaces() +
                                                                    dialog.addedNamespaces()));
    m_undoStack->push(new SetKeptContentCommand(*m_document, dialog.block()));
    m_undoStack->endMacro();
}

// Closing

void MainWindow::closeEvent(QCloseEvent *event) {
    // Closing stops the work first; the window stays until it has.
    if (m_work->isBusy()) {
        m_work->cancel();
        event->ignore();
        return;
    }
    event->setAccepted(m_flows->mayClose());
    if (event->isAccepted()) {
        saveSize();
        m_list->saveColumnWidths();
    }
}
