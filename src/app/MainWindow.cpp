#include "MainWindow.h"

#include "AddEpisodesCommand.h"
#include "BuildConfig.h"
#include "CommandKeys.h"
#include "DocumentUndoStack.h"
#include "DroppedFiles.h"
#include "EditEpisodeCommand.h"
#include "FeedFileCommands.h"
#include "FieldUndoRouter.h"
#include "MoveEpisodesCommand.h"
#include "PublishFlow.h"
#include "RemoveEpisodeCommand.h"
#include "ReplaceDocumentCommand.h"
#include "SetFieldCommand.h"
#include "SetKeptContentCommand.h"
#include "SetNamespacesCommand.h"
#include "WebAddressCommand.h"
#include "dialogs/EpisodeDialog.h"
#include "dialogs/FeedCheckDialog.h"
#include "dialogs/MoreTagsDialog.h"
#include "feed/ApplicationFolder.h"
#include "feed/ApplicationTitle.h"
#include "feed/DesktopShell.h"
#include "feed/EpisodeOrder.h"
#include "feed/ErrorReporter.h"
#include "feed/FeedCheck.h"
#include "feed/FileDialogService.h"
#include "feed/FileExists.h"
#include "feed/LoadPodcast.h"
#include "feed/Locations.h"
#include "feed/MediaEpisode.h"
#include "feed/MediaFile.h"
#include "feed/MessageService.h"
#include "feed/SavePodcast.h"
#include "feed/StepGuard.h"
#include "look/ApplySkin.h"
#include "look/CaptionFit.h"
#include "look/CentreOnScreen.h"
#include "look/FormFrame.h"
#include "look/FormLook.h"
#include "look/HandCursor.h"
#include "look/HoverCursorRule.h"
#include "look/Twips.h"
#include "model/PodcastDocument.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTextDocument>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>
#include <limits>

namespace {
struct FieldPlace {
    int left, top, width; // the box, in twips inside the frame
    int captionLeft, captionTop, captionWidth;
    int label; // index of the caption in the label array
};

// By field index. The caption array was numbered in another order than the
// boxes, so Summary, Owner Name and Image Link carry other label numbers.
constexpr std::array<FieldPlace, ChannelField::Count> FieldPlaces{{
    {1440, 405, 2295, 240, 480, 405, 0},
    {5280, 360, 2295, 3960, 435, 405, 1},
    {1440, 840, 2295, 240, 915, 885, 2},
    {5280, 840, 2295, 3960, 915, 855, 3},
    {1440, 1320, 6135, 240, 1395, 1020, 4},
    {1440, 1800, 2295, 240, 1875, 690, 5},
    {5280, 1800, 2295, 3960, 1875, 615, 6},
    {1440, 2280, 2295, 240, 2355, 870, 11},
    {5280, 2280, 2295, 3960, 2355, 810, 8},
    {1440, 2760, 2295, 240, 2835, 1155, 7},
    {5280, 2760, 2295, 3960, 2835, 1125, 10},
    {1440, 3240, 6135, 240, 3315, 975, 9},
}};
constexpr int FieldHeight = 375;
constexpr int CaptionHeight = 225;
constexpr int ButtonHeight = 405;

struct ButtonPlace {
    int number;
    const char *caption;
    int left, top, width;
    bool inEpisodeFrame;
};

constexpr std::array<ButtonPlace, 8> ButtonPlaces{{
    {6, "Help", 120, 120, 7800, false},
    {5, "New Podcast.xml", 120, 630, 3840, false},
    {3, "Save This As Podcast.xml", 4080, 630, 3840, false},
    {7, "Load Podcast.xml", 120, 1140, 3840, false},
    {8, "Load Sample/Example Podcast", 4080, 1140, 3840, false},
    {1, "Add New Episode", 180, 2100, 2520, true},
    {4, "Edit Episode", 2820, 2100, 2640, true},
    {2, "Delete Episode", 5580, 2100, 2040, true},
}};

// Keyboard order after the twelve fields and the list.
constexpr std::array<int, 8> ButtonTabOrder{1, 4, 2, 5, 3, 7, 6, 8};

QString listToolTip() {
    return QStringLiteral("Drag and drop files here. Double-click item to remove it. Move | line "
                          "to right and out of window to reveal full names.");
}

// A cell's full text in the tooltip: a long summary must not fill the screen.
constexpr int ExcerptWidth = 80;
constexpr int ExcerptLines = 5;

QStringList wrapped(const QString &text) {
    static const QRegularExpression lineBreaks(QStringLiteral("\\r\\n|[\\r\\n\\x{2028}\\x{2029}]"));
    QStringList lines;
    const QStringList paragraphs = text.split(lineBreaks, Qt::SkipEmptyParts);
    for (const QString &paragraph : paragraphs) {
        QString rest = paragraph.trimmed();
        while (!rest.isEmpty()) {
            if (lines.size() > ExcerptLines)
                return lines;
            if (rest.size() <= ExcerptWidth) {
                lines.append(rest);
                break;
            }
            // Break at the last blank that fits; a word longer than a line is cut.
            qsizetype cut = rest.lastIndexOf(u' ', ExcerptWidth);
            if (cut <= 0)
                cut = ExcerptWidth;
            lines.append(rest.left(cut).trimmed());
            rest = rest.mid(cut).trimmed();
        }
    }
    return lines;
}

QString excerpt(const QString &text) {
    QStringList lines = wrapped(text);
    if (lines.size() > ExcerptLines) {
        lines.resize(ExcerptLines);
        QString &last = lines.last();
        last = last.left(ExcerptWidth - 1) + QChar(0x2026);
    }
    return lines.join(u'\n');
}

// Only space characters are removed before the emptiness test; a tab or a
// line break counts as text.
bool isBlank(const QString &text) {
    for (const QChar c : text) {
        if (c != u' ')
            return false;
    }
    return true;
}

} // namespace

MainWindow::MainWindow(MainWindowServices services, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_services(std::move(services))
    , m_applicationFolder(m_services.applicationFolder.isEmpty() ? ApplicationFolder::path()
                                                                 : m_services.applicationFolder)
    , m_document(new PodcastDocument(this))
    , m_undoStack(new DocumentUndoStack(*m_document, this)) {
    m_files = new FeedFileCommands(
        *this, *m_document, *m_undoStack, m_services, [this] { m_buttons[3]->click(); },
        [this] { focusTitle(); });
    buildControls();
    addShortcuts();
    addCheckFeedCommand();
    addMoreTagsCommand();
    buildMenus();
    // The fixed size comes from the layout: the form and the menu bar above.
    layout()->activate();
    CentreOnScreen(*this);
    load();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls() {
    setObjectName(QStringLiteral("MainWindow"));
    setFont(FormLook::formFont());
    FormLook::setBackground(*this, FormLook::designedBackground());
    m_hover = new HoverCursorRule(*this, HandCursor::fallback());

    // The menu bar goes above the designed form, which keeps its size and
    // every control's place within it.
    m_form = new QWidget(this);
    m_form->setObjectName(QStringLiteral("Form1"));
    m_form->setFixedSize(Twips::toPixels(8040), Twips::toPixels(8370));
    FormLook::setBackground(*m_form, FormLook::designedBackground());
    m_hover->addBackground(*m_form);
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("MenuBar"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(m_menuBar);
    layout->addWidget(m_form);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_podcastFrame = new FormFrame(QStringLiteral("Podcast Info"), m_form);
    m_podcastFrame->setObjectName(QStringLiteral("Frame1"));
    m_podcastFrame->setGeometry(Twips::rect(120, 1650, 7800, 3855));
    m_episodeFrame = new FormFrame(QStringLiteral("Episode(s)"), m_form);
    m_episodeFrame->setObjectName(QStringLiteral("Frame2"));
    m_episodeFrame->setGeometry(Twips::rect(120, 5580, 7800, 2685));
    m_hover->addBackground(*m_podcastFrame);
    m_hover->addBackground(*m_episodeFrame);

    for (int index = 0; index < ChannelField::Count; ++index) {
        const FieldPlace &place = FieldPlaces[index];
        auto *box = new QLineEdit(m_podcastFrame);
        box->setObjectName(QStringLiteral("Text1(%1)").arg(index));
        // No length limit: a long description read from a feed must survive
        // being edited in its box.
        box->setMaxLength(std::numeric_limits<int>::max());
        box->setGeometry(Twips::rect(place.left, place.top, place.width, FieldHeight));
        m_fields[index] = box;

        auto *label = new QLabel(ChannelField::caption(index), m_podcastFrame);
        label->setObjectName(QStringLiteral("Label1(%1)").arg(place.label));
        label->setBuddy(box);
        CaptionFit::placeLabel(*label, Twips::rect(place.captionLeft, place.captionTop,
                                                   place.captionWidth, CaptionHeight));
        CaptionFit::keepBoxClear(*box, *label);
        m_labels[index] = label;

        // One source of truth: what is typed is the document at once, and what
        // a command writes into the document shows at once.
        connect(box, &QLineEdit::textEdited, m_document, [this, index](const QString &text) {
            m_undoStack->push(new SetFieldCommand(*m_document, index, text));
        });
    }
    connect(m_document, &PodcastDocument::fieldChanged, this,
            [this](int index, const QString &text) {
                if (m_fields[index]->text() != text) {
                    m_fields[index]->setText(text);
                    // Show a long text from its start, as it reads.
                    m_fields[index]->setCursorPosition(0);
                }
            });

    m_list = new QTreeView(m_episodeFrame);
    m_list->setObjectName(QStringLiteral("ListView1"));
    m_list->setGeometry(Twips::rect(180, 300, 7455, 1695));
    m_list->setToolTip(listToolTip());
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setTextElideMode(Qt::ElideRight);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionsMovable(false);
    m_list->header()->setDefaultSectionSize(Twips::toPixels(1440));
    // Rows dragged within the list reorder the feed; files dropped on it
    // are taken by the window (eventFilter), which the model refuses.
    m_list->setDragEnabled(true);
    m_list->setAcceptDrops(true);
    m_list->setDragDropMode(QAbstractItemView::InternalMove);
    m_list->setDefaultDropAction(Qt::MoveAction);
    m_list->setDropIndicatorShown(true);
    m_document->setMoveHandler([this](qsizetype first, qsizetype count, qsizetype to) {
        m_undoStack->push(new MoveEpisodesCommand(*m_document, first, count, to));
        return true;
    });
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
    m_hover->addBackground(*m_list);

    for (const ButtonPlace &place : ButtonPlaces) {
        QWidget *container = place.inEpisodeFrame ? static_cast<QWidget *>(m_episodeFrame) : m_form;
        auto *button = new QPushButton(QString::fromUtf8(place.caption), container);
        button->setObjectName(QStringLiteral("PushButton%1").arg(place.number));
        button->setGeometry(Twips::rect(place.left, place.top, place.width, ButtonHeight));
        // Enter presses the button that has the focus, as Space does.
        button->setAutoDefault(true);
        FormLook::styleButton(*button);
        CaptionFit::fitButton(*button);
        m_hover->addButton(*button);
        m_buttons[place.number] = button;
    }
    connect(m_buttons[1], &QPushButton::clicked, this, &MainWindow::addEpisode);
    connect(m_buttons[2], &QPushButton::clicked, this, &MainWindow::deleteEpisode);
    connect(m_buttons[3], &QPushButton::clicked, this, &MainWindow::saveDocument);
    connect(m_buttons[4], &QPushButton::clicked, this, &MainWindow::editEpisode);
    connect(m_buttons[5], &QPushButton::clicked, this, &MainWindow::newDocument);
    connect(m_buttons[6], &QPushButton::clicked, this, &MainWindow::showHelp);
    connect(m_buttons[7], &QPushButton::clicked, this, &MainWindow::loadFeed);
    connect(m_buttons[8], &QPushButton::clicked, this, &MainWindow::loadSample);

    QWidget *previous = m_fields[0];
    auto chain = [&previous](QWidget *next) {
        QWidget::setTabOrder(previous, next);
        previous = next;
    };
    for (int index = 1; index < ChannelField::Count; ++index)
        chain(m_fields[index]);
    chain(m_list);
    for (const int number : ButtonTabOrder)
        chain(m_buttons[number]);
    m_fields[0]->setFocus();
}

void MainWindow::addShortcuts() {
    const std::pair<EditorCommand, int> buttons[] = {
        {EditorCommand::SaveAs, 3}, {EditorCommand::NewDocument, 5}, {EditorCommand::LoadFeed, 7},
        {EditorCommand::Help, 6},   {EditorCommand::EditEpisode, 4}, {EditorCommand::AddEpisode, 1},
    };
    // The keys themselves belong to the menus' entries (buildMenus).
    for (const auto &[command, number] : buttons) {
        QPushButton *button = m_buttons[number];
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

void MainWindow::buildMenus() {
    // Each button's entry clicks the button, so that both run the very same
    // command with its messages and steps.
    auto clicks = [this](QAction *action, int number) {
        connect(action, &QAction::triggered, m_buttons[number], &QPushButton::click);
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
    connect(media, &QAction::triggered, this, &MainWindow::addMediaFromDialog);
    file->addSeparator();
    connect(addCommand(*file, QStringLiteral("&Publish…"), "PublishAction", EditorCommand::Publish),
            &QAction::triggered, new PublishFlow(*this, *m_document, *m_files, m_services.messages),
            &PublishFlow::publish);
    file->addSeparator();
    QAction *quit = addCommand(*file, QStringLiteral("&Quit"), "QuitAction", EditorCommand::Quit);
    connect(quit, &QAction::triggered, this, &QWidget::close);

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
    for (QLineEdit *box : m_fields)
        m_fieldUndo->watch(*box);

    QMenu *episode = m_menuBar->addMenu(QStringLiteral("E&pisode"));
    clicks(addCommand(*episode, QStringLiteral("&Add New Episode…"), "AddEpisodeAction",
                      EditorCommand::AddEpisode),
           1);
    m_editEpisode = addCommand(*episode, QStringLiteral("&Edit Episode…"), "EditEpisodeAction",
                               EditorCommand::EditEpisode);
    clicks(m_editEpisode, 4);
    m_deleteEpisode = addCommand(*episode, QStringLiteral("&Delete Episode"), "DeleteEpisodeAction",
                                 EditorCommand::DeleteEpisode);
    // Shown in the menu; the key itself is the list's (eventFilter), so that
    // Delete in a text box keeps deleting text.
    m_deleteEpisode->setShortcutContext(Qt::WidgetShortcut);
    clicks(m_deleteEpisode, 2);
    episode->addSeparator();
    m_moveUp =
        addCommand(*episode, QStringLiteral("Move &Up"), "MoveUpAction", EditorCommand::MoveUp);
    connect(m_moveUp, &QAction::triggered, this, [this] { moveSelectedEpisode(-1); });
    m_moveDown = addCommand(*episode, QStringLiteral("Move Do&wn"), "MoveDownAction",
                            EditorCommand::MoveDown);
    connect(m_moveDown, &QAction::triggered, this, [this] { moveSelectedEpisode(1); });

    QMenu *help = m_menuBar->addMenu(QStringLiteral("&Help"));
    clicks(addCommand(*help, QStringLiteral("&Help"), "HelpAction", EditorCommand::Help), 6);

    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_document, signal, this, &MainWindow::updateEpisodeCommands);
    connect(m_document, &QAbstractItemModel::rowsMoved, this, &MainWindow::updateEpisodeCommands);
    connect(m_document, &QAbstractItemModel::modelReset, this, &MainWindow::updateEpisodeCommands);
    updateEpisodeCommands();
}

// An entry is enabled only where it can act.
void MainWindow::updateEpisodeCommands() {
    const qsizetype selected = selectedEpisode();
    const qsizetype count = m_document->episodeCount();
    m_editEpisode->setEnabled(selected > 0);
    m_deleteEpisode->setEnabled(selected > 0);
    m_moveUp->setEnabled(selected > 1);
    m_moveDown->setEnabled(selected > 0 && selected < count);
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
        m_list->setModel(m_document);
        // Tabbing into the list frames its first row; that row is then the
        // selected one, as arrow keys and clicks make it.
        connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this,
                &MainWindow::selectCurrentRow);
        connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &MainWindow::updateEpisodeCommands);
    });
    guard.step(114, [&] { m_document->setDocumentChanged(false); });
}

// Selection

qsizetype MainWindow::selectedEpisode() const {
    const QItemSelectionModel *selection = m_list->selectionModel();
    if (!selection)
        return 0;
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? 0 : rows.constFirst().row() + 1;
}

void MainWindow::selectEpisode(qsizetype number) {
    QItemSelectionModel *selection = m_list->selectionModel();
    if (!selection)
        return;
    if (number < 1 || number > m_document->episodeCount()) {
        selection->clearSelection();
        return;
    }
    const QModelIndex index = m_document->index(static_cast<int>(number - 1), 0);
    selection->setCurrentIndex(index,
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_list->scrollTo(index);
}

// Removes the selected row and selects the one that took its place (or the
// new last row), so the next removal acts on a row the user can see. Nothing
// selected: nothing removed.
bool MainWindow::removeSelectedEpisode(RemovedBy trigger) {
    const qsizetype number = selectedEpisode();
    if (number == 0)
        return false;
    m_undoStack->push(new RemoveEpisodeCommand(*m_document, number,
                                               trigger == RemovedBy::Button
                                                   ? RemoveEpisodeCommand::Trigger::Button
                                                   : RemoveEpisodeCommand::Trigger::DeleteKey));
    selectEpisode(std::min(number, m_document->episodeCount()));
    return true;
}

// Episode list commands

std::unique_ptr<EpisodeDialog> MainWindow::createEpisodeDialog(qsizetype selected) {
    auto dialog = std::make_unique<EpisodeDialog>(*m_document, selected, m_services.messages,
                                                  m_services.errors, m_applicationFolder, this);
    dialog->setFileDialogs(m_services.dialogs);
    return dialog;
}

void MainWindow::showEpisodeDialog(EpisodeDialog &dialog) {
    const qsizetype countBefore = m_document->episodeCount();
    const qsizetype selected = selectedEpisode();
    const Episode episodeBefore = selected > 0 ? m_document->episode(selected) : Episode();
    const PodcastDocument::Namespaces namespacesBefore = m_document->namespaces();
    if (m_services.showEpisodeDialog)
        m_services.showEpisodeDialog(dialog);
    else
        dialog.exec();

    // The dialog's Save writes straight into the document, step by step as
    // it always has; what it wrote is taken back and done again as commands,
    // so that one undo takes it all out.
    const PodcastDocument::Namespaces namespacesAfter = m_document->namespaces();
    QList<Episode> added;
    Episode edited;
    bool wasEdited = false;
    if (m_document->episodeCount() > countBefore) {
        added = m_document->episodes().mid(countBefore);
        m_document->removeEpisodes(countBefore + 1, added.size());
    } else if (selected > 0 && selected <= m_document->episodeCount() &&
               m_document->episode(selected) != episodeBefore) {
        edited = m_document->episode(selected);
        wasEdited = true;
        m_document->setEpisode(selected, episodeBefore);
    }
    if (added.isEmpty() && !wasEdited && namespacesAfter == namespacesBefore)
        return;
    m_document->setNamespaces(namespacesBefore);
    m_undoStack->beginMacro(added.isEmpty() ? QStringLiteral("Edit Episode")
                                            : QStringLiteral("Add Episode"));
    if (namespacesAfter != namespacesBefore)
        m_undoStack->push(new SetNamespacesCommand(*m_document, namespacesAfter));
    if (!added.isEmpty())
        m_undoStack->push(new AddEpisodesCommand(*m_document, added));
    else if (wasEdited)
        m_undoStack->push(new EditEpisodeCommand(*m_document, selected, edited));
    m_undoStack->endMacro();
}

void MainWindow::addEpisode() {
    StepGuard guard(m_services.errors, Locations::form1("PushButton1_Click"));
    std::unique_ptr<EpisodeDialog> dialog;
    guard.step(100, [&] {
        dialog = createEpisodeDialog(selectedEpisode());
        dialog->setWindowTitle(EpisodeDialog::addCaption());
    });
    guard.step(102, [&] {
        if (!dialog)
            return;
        const qsizetype before = m_document->episodeCount();
        showEpisodeDialog(*dialog);
        // The new last row is shown, left unselected.
        if (m_document->episodeCount() > before)
            m_list->scrollTo(
                m_document->index(static_cast<int>(m_document->episodeCount() - 1), 0));
    });
}

void MainWindow::editEpisode() {
    editSelectedEpisode(-1);
}

void MainWindow::editSelectedEpisode(int focusColumn) {
    StepGuard guard(m_services.errors, Locations::form1("PushButton4_Click"));
    guard.enter(100);
    const qsizetype selected = selectedEpisode();
    if (m_document->episodeCount() == 0 || selected == 0)
        return;

    std::unique_ptr<EpisodeDialog> dialog;
    int columns = EpisodeColumn::Count;
    guard.step(102, [&] { columns = m_document->columnCount(); });
    for (int k = 1; k <= columns; ++k) {
        guard.step(102 + 2 * k, [&] {
            if (!dialog)
                dialog = createEpisodeDialog(selected);
            dialog->setField(k - 1, m_document->episode(selected)[k - 1]);
        });
    }
    const int next = 104 + 2 * columns;
    guard.step(next, [&] {
        if (!dialog)
            dialog = createEpisodeDialog(selected);
        dialog->setWindowTitle(EpisodeDialog::editCaption());
        if (focusColumn >= 0 && focusColumn < EpisodeColumn::Count)
            dialog->box(focusColumn)->setFocus();
    });
    guard.step(next + 2, [&] {
        if (dialog)
            showEpisodeDialog(*dialog);
    });
}

void MainWindow::deleteEpisode() {
    StepGuard guard(m_services.errors, Locations::form1("PushButton2_Click"));
    guard.enter(100);
    if (m_document->episodeCount() == 0 || selectedEpisode() == 0)
        return;
    guard.step(102, [&] { removeSelectedEpisode(RemovedBy::Button); });
    guard.step(104, [&] { m_list->setFocus(); });
    guard.step(106, [&] { m_document->setDocumentChanged(true); });
}

void MainWindow::deleteKeyPressed() {
    if (m_document->episodeCount() > 0 && removeSelectedEpisode(RemovedBy::DeleteKey))
        m_document->setDocumentChanged(true);
}

void MainWindow::listDoubleClicked() {
    if (m_document->episodeCount() > 0)
        removeSelectedEpisode(RemovedBy::Button);
    m_document->setDocumentChanged(true);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_list && event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        // The list's own Delete below, not the menu entry's: it keeps the
        // key's rules for the changed flag.
        event->accept();
        return true;
    }
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        // The Delete key removes the selected row whatever the modifiers.
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
            deleteKeyPressed();
            return true;
        }
    } else if (watched == m_list->viewport()) {
        if (urlDragEvent(event))
            return true;
        if (event->type() == QEvent::MouseButtonDblClick &&
            static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            listDoubleClicked();
            return true;
        }
        if (event->type() == QEvent::ToolTip) {
            auto *help = static_cast<QHelpEvent *>(event);
            QToolTip::showText(help->globalPos(), listToolTipAt(help->pos()), m_list->viewport());
            return true;
        }
    }
    if (watched == m_list && event->type() == QEvent::FocusIn)
        selectCurrentRow();
    return QWidget::eventFilter(watched, event);
}

// The warning that a double-click removes an episode shows over every row;
// a cell whose text is cut off adds that text above it.
QString MainWindow::listToolTipAt(const QPoint &viewportPos) const {
    const QModelIndex index = m_list->indexAt(viewportPos);
    const QString text = index.data(Qt::DisplayRole).toString();
    if (!index.isValid() || !cellCutOff(index, text))
        return m_list->toolTip();
    const QString tip = excerpt(text) + QStringLiteral("\n\n") + m_list->toolTip();
    // A text that looks like markup is shown as typed, not rendered.
    if (Qt::mightBeRichText(tip))
        return QStringLiteral("<qt>") + tip.toHtmlEscaped().replace(u'\n', QStringLiteral("<br>"));
    return tip;
}

bool MainWindow::cellCutOff(const QModelIndex &index, const QString &text) const {
    if (text.contains(u'\n') || text.contains(u'\r') || text.contains(QChar(0x2028)))
        return true;
    // What the cell shows of itself: the part inside the list, less the
    // margins the item delegate keeps on either side of its text.
    const QRect shown = m_list->visualRect(index).intersected(m_list->viewport()->rect());
    const int margin =
        m_list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_list) + 1;
    QFont font = m_list->font();
    const QVariant cellFont = index.data(Qt::FontRole);
    if (cellFont.canConvert<QFont>())
        font = cellFont.value<QFont>();
    return QFontMetrics(font).horizontalAdvance(text) > shown.width() - 2 * margin;
}

// The row that carries the focus frame is the one Delete and Edit act on.
void MainWindow::selectCurrentRow() {
    QItemSelectionModel *selection = m_list->selectionModel();
    if (!selection)
        return;
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && !selection->isRowSelected(current.row(), current.parent()))
        selection->select(current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// Document commands

bool MainWindow::titleMissing() const {
    return isBlank(m_document->field(ChannelField::Title));
}

void MainWindow::focusTitle() {
    m_fields[ChannelField::Title]->setFocus();
}

bool MainWindow::runSavePodcast() {
    m_saveSucceeded = false;
    QString savedPath;
    SaveServices services{m_services.dialogs, m_services.messages, m_services.errors,
                          m_services.clock, &savedPath};
    m_saveSucceeded = SavePodcast(*m_document, services);
    // The file saved to is the document's file from now on (File ▸ Save).
    if (m_saveSucceeded)
        m_files->savedTo(savedPath);
    return m_saveSucceeded;
}

void MainWindow::saveDocument() {
    StepGuard guard(m_services.errors, Locations::form1("PushButton3_Click"));
    guard.enter(100);
    if (titleMissing()) {
        guard.step(102,
                   [&] { m_services.messages.notice(QStringLiteral("You forgot to add title.")); });
        guard.step(104, [&] { focusTitle(); });
        return;
    }
    guard.enter(106);
    if (m_document->episodeCount() > 0) {
        guard.step(108, [&] { runSavePodcast(); });
        guard.enter(110);
        if (m_saveSucceeded) {
            guard.step(112, [&] { m_services.messages.notice(QStringLiteral("Done Saved.")); });
            // Only a save that reached the file makes the document "saved": a
            // cancelled dialog or a refused text leaves the changes pending.
            guard.step(114, [&] { m_undoStack->markSaved(); });
        }
        return;
    }
    guard.step(
        116, [&] { m_services.messages.notice(QStringLiteral("You forgot to add episode(s).")); });
}

void MainWindow::newDocument() {
    StepGuard guard(m_services.errors, Locations::form1("PushButton5_Click"));
    guard.enter(100);
    if (m_document->DocumentChanged()) {
        auto answer = MessageService::Answer::No;
        guard.step(102, [&] {
            answer = m_services.messages.question(
                QStringLiteral("Would you like to save?"), QStringLiteral("Save Changes?"),
                MessageService::Buttons::YesNo, MessageService::Answer::Yes);
        });
        if (answer == MessageService::Answer::Yes) {
            guard.enter(104);
            if (titleMissing()) {
                guard.step(106, [&] {
                    m_services.messages.notice(QStringLiteral("You forgot to add title."));
                });
                guard.step(108, [&] { focusTitle(); });
                return;
            }
            guard.enter(110);
            if (m_document->episodeCount() == 0) {
                guard.step(114, [&] {
                    m_services.messages.notice(QStringLiteral("You forgot to add episode(s)."));
                });
                return;
            }
            guard.step(112, [&] { runSavePodcast(); });
            // Clearing after a cancelled or refused save would throw away the
            // very changes the user just asked to keep.
            if (!m_saveSucceeded)
                return;
            m_undoStack->markSaved();
        }
    }

    // Empties the list in one reset (and the fields, which the steps below
    // would otherwise empty one by one), as one step of the history.
    guard.step(116, [&] {
        m_undoStack->push(new ReplaceDocumentCommand(*m_document, QStringLiteral("New Podcast.xml"),
                                                     m_document->content(), PodcastContent(),
                                                     ReplaceDocumentCommand::Applied::No));
    });
    guard.enter(118);
    for (int index = 0; index < ChannelField::Count; ++index) {
        guard.step(120, [&] { m_document->setField(index, QString()); });
        guard.enter(122);
    }
    guard.step(124, [&] { m_document->setDocumentChanged(false); });
    m_files->forget();
}

void MainWindow::showHelp() {
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

void MainWindow::recordLoad(const QString &text, const PodcastContent &before) {
    // A load that changed nothing leaves no step (the command is obsolete).
    m_undoStack->push(new ReplaceDocumentCommand(*m_document, text, before, m_document->content(),
                                                 ReplaceDocumentCommand::Applied::Yes));
}

void MainWindow::loadFeed() {
    const PodcastContent before = m_document->content();
    loadPodcastCommand(*m_document, m_services.dialogs, m_services.messages, m_services.errors,
                       RepairOffer::Ask);
    recordLoad(QStringLiteral("Load Podcast.xml"), before);
}

void MainWindow::openFeed(const QString &path) {
    // Into an empty window it opens, as File ▸ Open does; otherwise it adds,
    // as if picked in the dialog of "Load Podcast.xml".
    if (m_document->isBlank() && !m_document->DocumentChanged()) {
        m_files->openPath(path);
        return;
    }
    const PodcastContent before = m_document->content();
    loadPodcastFile(path, *m_document, m_services.messages, m_services.errors, RepairOffer::Ask);
    recordLoad(QStringLiteral("Load Podcast.xml"), before);
}

void MainWindow::loadSample() {
    const PodcastContent before = m_document->content();
    loadSampleCommand(*m_document, m_applicationFolder, m_services.messages, m_services.errors);
    recordLoad(QStringLiteral("Load Sample/Example Podcast"), before);
}

void MainWindow::fillRecentMenu() {
    m_recentMenu->clear();
    const QStringList files = FeedFileCommands::recentFiles();
    for (const QString &path : files) {
        QAction *entry = m_recentMenu->addAction(QDir::toNativeSeparators(path));
        connect(entry, &QAction::triggered, this, [this, path] {
            if (m_files->settleUnsavedChanges(QStringLiteral("opening another feed")))
                m_files->openPath(path);
        });
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
    FeedCheckDialog dialog(FeedCheck::check(*m_document), this);
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
        m_fields[place.field]->setFocus();
        m_fields[place.field]->selectAll();
        return;
    }
    if (place.episode == 0 && !place.tag.isEmpty()) {
        editPodcastTags(); // the channel's kept content
        return;
    }
    if (place.episode < 1 || place.episode > m_document->episodeCount())
        return;
    selectEpisode(place.episode);
    m_list->setFocus();
    editSelectedEpisode(place.column);
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
    connect(m_moreTags, &QAction::triggered, this, &MainWindow::editPodcastTags);
    addAction(m_moreTags);
    // Found by a right-click on the podcast's frame, beside the boxes.
    m_podcastFrame->addAction(m_moreTags);
    m_podcastFrame->addAction(m_checkFeed);
    m_podcastFrame->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_podcastFrame->setToolTip(
        QStringLiteral("Right-click: More Tags… (%1), Check Feed (%2)")
            .arg(m_moreTags->shortcut().toString(QKeySequence::NativeText),
                 m_checkFeed->shortcut().toString(QKeySequence::NativeText)));
}

void MainWindow::editPodcastTags() {
    TagTemplates::Context context;
    context.websiteLink = m_document->field(ChannelField::Link);
    context.ownerEmail = m_document->field(ChannelField::OwnerEmail);
    MoreTagsDialog dialog(MoreTagsDialog::Scope::Podcast, m_document->channelExtra(),
                          m_document->namespaces(), context, m_services.messages, this);
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

// Episodes from media files

void MainWindow::addMediaFromDialog() {
    const QStringList paths = m_services.dialogs.openFileNames(
        {QString(), QStringLiteral("Add Episodes from Media Files"),
         QStringLiteral("Audio and Video (*.mp3 *.m4a *.m4b *.aac *.ogg *.oga *.opus *.flac *.wav "
                        "*.mp4 *.m4v *.mov *.webm)|*.mp3;*.m4a;*.m4b;*.aac;*.ogg;*.oga;*.opus;"
                        "*.flac;*.wav;*.mp4;*.m4v;*.mov;*.webm|All Files (*.*)|*.*")});
    if (paths.isEmpty())
        return;
    QStringList media;
    QStringList others;
    for (const QString &path : paths)
        (MediaFile::isMedia(path) ? media : others).append(path);
    if (!others.isEmpty()) {
        QStringList names;
        for (const QString &path : std::as_const(others))
            names.append(QDir::toNativeSeparators(path));
        m_services.messages.notice(
            QStringLiteral("These files are not audio or video and were not added:\n") +
            names.join(u'\n'));
    }
    addMediaFiles(media);
}

void MainWindow::addMediaFiles(const QStringList &paths) {
    const QDateTime now = m_services.clock ? m_services.clock() : BuildDate::systemNow();
    QList<Episode> made;
    QStringList failed;
    QStringList withoutDuration;
    QStringList cleaned;
    QStringList withoutUrl;
    // The newest episode lends its author, keywords, flag, category and folder;
    // files given together are dated one second apart, in their order.
    const QList<Episode> &existing = m_document->episodes();
    const qsizetype newest = EpisodeOrder::newest(existing);
    for (const QString &path : paths) {
        const Episode *previous = !made.isEmpty() ? &made.constLast()
                                  : newest >= 0   ? &existing[newest]
                                                  : nullptr;
        MediaEpisode episode = MediaEpisode::fromFile(path, previous, now.addSecs(made.size()));
        const QString shown = QDir::toNativeSeparators(path);
        if (!episode.isValid()) {
            failed.append(QStringLiteral("%1: %2").arg(shown, episode.error));
            continue;
        }
        if (episode.readCutShort)
            withoutDuration.append(QStringLiteral("%1 (reading stopped at its limit of %2)")
                                       .arg(shown, MediaEpisode::budgetText()));
        else if (!episode.durationRead)
            withoutDuration.append(shown);
        if (episode.droppedCharacters > 0)
            cleaned.append(shown);
        if (episode.urlMissing())
            withoutUrl.append(shown);
        made.append(std::move(episode.episode));
    }
    if (!made.isEmpty()) {
        const qsizetype number = EpisodeOrder::place(existing, made);
        auto *command = new AddEpisodesCommand(*m_document, made, number);
        const qsizetype first = command->firstNumber();
        m_undoStack->push(command);
        selectEpisodes(first, made.size());
    }
    if (!failed.isEmpty())
        m_services.messages.notice(
            QStringLiteral("These files could not be read and were not added:\n") +
            failed.join(u'\n'));
    if (!withoutDuration.isEmpty())
        m_services.messages.notice(
            QStringLiteral("The duration of these files could not be read, so their episodes "
                           "have an empty Duration:\n") +
            withoutDuration.join(u'\n'));
    if (!cleaned.isEmpty())
        m_services.messages.notice(
            QStringLiteral("Characters that XML cannot hold were left out of the titles taken "
                           "from these files:\n") +
            cleaned.join(u'\n'));
    if (!withoutUrl.isEmpty())
        m_services.messages.notice(
            QStringLiteral("These episodes have an empty URL, as there is no earlier enclosure "
                           "address to follow; fill it in before publishing:\n") +
            withoutUrl.join(u'\n'));
}

void MainWindow::selectEpisodes(qsizetype first, qsizetype count) {
    QItemSelectionModel *selection = m_list->selectionModel();
    const QModelIndex top = m_document->index(static_cast<int>(first - 1), 0);
    const QModelIndex bottom =
        m_document->index(static_cast<int>(first + count - 2), m_document->columnCount() - 1);
    selection->setCurrentIndex(top, QItemSelectionModel::NoUpdate);
    selection->select(QItemSelection(top, bottom),
                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // The last one into view, then the first, so that as many as fit show.
    m_list->scrollTo(bottom.siblingAtColumn(0));
    m_list->scrollTo(top);
}

void MainWindow::dropFiles(const QMimeData &data) {
    const DroppedFiles files = DroppedFiles::sort(data);
    QStringList left = files.others;
    if (files.media.isEmpty()) {
        if (files.feeds.size() == 1 && files.others.isEmpty()) {
            loadDroppedFeed(files.feeds.constFirst());
            return;
        }
        if (files.feeds.size() > 1 && files.others.isEmpty()) {
            m_services.messages.notice(
                QStringLiteral("Drop one feed file at a time to load it. Nothing was loaded."));
            return;
        }
        for (const QString &feed : files.feeds)
            left.append(QDir::toNativeSeparators(feed));
        m_services.messages.notice(
            QStringLiteral("Only audio or video files, or one feed file, can be dropped here. "
                           "Nothing was added from:\n") +
            left.join(u'\n'));
        return;
    }
    addMediaFiles(files.media);
    for (const QString &feed : files.feeds)
        left.append(QDir::toNativeSeparators(feed));
    if (!left.isEmpty())
        m_services.messages.notice(
            QStringLiteral("These files are not audio or video and were not added:\n") +
            left.join(u'\n'));
}

void MainWindow::loadDroppedFeed(const QString &path) {
    // Opened in an empty window; otherwise exactly as "Load Podcast.xml"
    // reads the file chosen in its dialog.
    if (m_document->isBlank() && !m_document->DocumentChanged()) {
        m_files->openPath(path);
        return;
    }
    const PodcastContent before = m_document->content();
    loadPodcastFile(path, *m_document, m_services.messages, m_services.errors, RepairOffer::Ask);
    recordLoad(QStringLiteral("Load Podcast.xml"), before);
}

bool MainWindow::urlDragEvent(QEvent *event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (!drag->mimeData() || !DroppedFiles::offersFiles(*drag->mimeData()))
            return false;
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        if (!drop->mimeData() || !DroppedFiles::offersFiles(*drop->mimeData()))
            return false;
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        dropFiles(*drop->mimeData());
        return true;
    }
    default:
        return false;
    }
}

// Reordering

void MainWindow::moveSelectedEpisode(int step) {
    const qsizetype selected = selectedEpisode();
    const qsizetype to = selected + step;
    if (selected == 0 || to < 1 || to > m_document->episodeCount())
        return;
    m_undoStack->push(new MoveEpisodesCommand(*m_document, selected, 1, to));
    selectEpisode(to);
}

// Closing

MainWindow::SaveOutcome MainWindow::saveBeforeClosing() {
    if (titleMissing()) {
        m_services.messages.notice(QStringLiteral("You forgot to add title."));
        focusTitle();
        return SaveOutcome::MissingTitle;
    }
    if (m_document->episodeCount() == 0) {
        m_services.messages.notice(QStringLiteral("You forgot to add episode(s)."));
        return SaveOutcome::NoEpisodes;
    }
    if (!runSavePodcast())
        return SaveOutcome::NotSaved;
    m_undoStack->markSaved();
    return SaveOutcome::Saved;
}

void MainWindow::closeEvent(QCloseEvent *event) {
    // Unsaved changes are never dropped without asking.
    if (!m_document->DocumentChanged()) {
        event->accept();
        return;
    }
    const auto answer = m_services.messages.question(
        QStringLiteral("Would you like to save?"), QStringLiteral("Save Changes?"),
        MessageService::Buttons::YesNoCancel, MessageService::Answer::Yes);
    switch (answer) {
    case MessageService::Answer::Yes:
        event->setAccepted(saveBeforeClosing() == SaveOutcome::Saved);
        break;
    case MessageService::Answer::No:
        event->accept();
        break;
    case MessageService::Answer::Cancel:
        event->ignore();
        break;
    }
}
