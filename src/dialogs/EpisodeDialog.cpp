#include "EpisodeDialog.h"

#include "feed/KeptContent.h"

#include "EpisodeBoxHelp.h"
#include "LargerBoxAction.h"
#include "LargerTextDialog.h"
#include "MoreTagsDialog.h"

#include "feed/ErrorReporter.h"
#include "feed/FileExists.h"
#include "feed/Locations.h"
#include "feed/MessageService.h"
#include "feed/StepFailure.h"
#include "feed/StepGuard.h"
#include "look/ApplyFormColours.h"
#include "look/CaptionFit.h"
#include "look/CentreOnScreen.h"
#include "look/FormLook.h"
#include "look/HandCursor.h"
#include "look/HoverCursorRule.h"
#include "look/Twips.h"
#include "model/PodcastDocument.h"
#include "platform/QtFileDialogs.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QTimer>
#include <QWindow>
#include <limits>

namespace {
struct BoxPlace {
    int left, top, width; // box, in twips
    int captionLeft, captionTop;
};

// Column by column: two boxes to a line, the URL across the whole width.
constexpr std::array<BoxPlace, EpisodeColumn::Count> Places{{
    {1200, 120, 2655, 120, 195},
    {5040, 120, 2640, 4080, 195},
    {1200, 600, 2655, 120, 675},
    {5040, 600, 2640, 4080, 675},
    {1200, 1080, 6480, 120, 1155},
    {1200, 1560, 2655, 120, 1635},
    {5040, 1560, 2640, 4080, 1635},
    {1200, 2040, 2655, 120, 2115},
    {5040, 2040, 2640, 4080, 2115},
    {1200, 2520, 2655, 120, 2595},
    {5040, 2520, 2640, 4080, 2595},
    {1200, 3000, 2655, 120, 3075},
    {5040, 3000, 2640, 4080, 3075},
}};
constexpr int BoxHeight = 375;
constexpr int WideBoxWidth = 6480;
constexpr int RightColumnLeft = 5040;
constexpr int DialogWidth = 7800;
constexpr int DialogHeight = 4035;
constexpr int CaptionHeight = 225;

QString boxName(int column) {
    return QStringLiteral("Text1(%1)").arg(column);
}

// A title counts as missing when only space characters are left; tabs and
// other white space count as text.
bool isBlank(const QString &text) {
    for (const QChar c : text) {
        if (c != u' ')
            return false;
    }
    return true;
}
} // namespace

QString EpisodeDialog::addCaption() {
    return QStringLiteral("Add New Episode");
}

QString EpisodeDialog::editCaption() {
    return QStringLiteral("Edit Episode");
}

EpisodeDialog::EpisodeDialog(PodcastDocument &document, qsizetype selectedEpisode,
                             MessageService &messages, ErrorReporter &errors,
                             const QString &applicationFolder, QWidget *parent)
    // No parent widget: a style sheet (the skin) set on the main window would
    // reach every child window; the owner is only the window it stays above.
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_document(document)
    , m_selectedEpisode(selectedEpisode)
    , m_messages(messages)
    , m_errors(errors)
    , m_owner(parent) {
    buildControls();
    load(applicationFolder);
}

EpisodeDialog::~EpisodeDialog() = default;

void EpisodeDialog::buildControls() {
    setObjectName(QStringLiteral("Form2"));
    setModal(true);
    setFont(FormLook::formFont());
    // The designed size is the least; a wider dialog gives long texts room.
    setMinimumSize(designedSize());
    resize(designedSize());
    m_hover = new HoverCursorRule(*this, HandCursor::fallback());

    for (int column = 0; column < EpisodeColumn::Count; ++column) {
        const BoxPlace &place = Places[column];
        auto *box = new QLineEdit(this);
        box->setObjectName(boxName(column));
        box->setMaxLength(std::numeric_limits<int>::max());
        box->setGeometry(Twips::rect(place.left, place.top, place.width, BoxHeight));
        m_boxes[column] = box;

        auto *label = new QLabel(EpisodeColumn::header(column) + u':', this);
        label->setObjectName(QStringLiteral("Label1(%1)").arg(column));
        label->setBuddy(box);
        CaptionFit::placeLabel(*label,
                               Twips::rect(place.captionLeft, place.captionTop,
                                           place.left - place.captionLeft - 60, CaptionHeight));
        CaptionFit::keepBoxClear(*box, *label);
        m_labels[column] = label;
    }

    m_save = new QPushButton(QStringLiteral("Save"), this);
    m_save->setObjectName(QStringLiteral("PushButton1"));
    m_save->setGeometry(Twips::rect(135, 3510, 3720, 405));
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("PushButton2"));
    m_cancel->setGeometry(Twips::rect(4080, 3510, 3600, 405));
    for (QPushButton *button : {m_save, m_cancel}) {
        FormLook::styleButton(*button);
        CaptionFit::fitButton(*button);
        m_hover->addButton(*button);
    }
    // Enter in a box saves, as in any dialog; Escape cancels.
    m_save->setDefault(true);

    QWidget *previous = m_boxes[0];
    for (int column = 1; column < EpisodeColumn::Count; ++column) {
        setTabOrder(previous, m_boxes[column]);
        previous = m_boxes[column];
    }
    setTabOrder(previous, m_save);
    setTabOrder(m_save, m_cancel);
    m_boxes[0]->setFocus();

    // The tags the form has no box for: from every box's context menu, the
    // dialog's own and Ctrl+T, which no line edit takes under any key scheme.
    m_moreTags = new QAction(QStringLiteral("More Tags…"), this);
    m_moreTags->setObjectName(QStringLiteral("moreTagsAction"));
    m_moreTags->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    m_moreTags->setShortcutContext(Qt::WindowShortcut);
    m_moreTags->setShortcutVisibleInContextMenu(true);
    addAction(m_moreTags);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(m_moreTags, &QAction::triggered, this, &EpisodeDialog::openMoreTags);
    m_ownFileDialogs = std::make_unique<QtFileDialogs>(this);
    m_help = new EpisodeBoxHelp(*this, m_document, m_messages, *m_moreTags);
    m_help->setFileDialogs(*m_ownFileDialogs);

    LargerBoxAction::attach(
        *m_boxes[EpisodeColumn::Summary], EpisodeColumn::header(EpisodeColumn::Summary),
        [this](LargerTextDialog &dialog) {
            return m_runLargerText ? m_runLargerText(dialog) : dialog.exec();
        },
        [this](const QString &text) { setField(EpisodeColumn::Summary, text); });
    planGrowth();

    connect(m_save, &QPushButton::clicked, this, &EpisodeDialog::save);
    connect(m_cancel, &QPushButton::clicked, this, &EpisodeDialog::reject);
}

QSize EpisodeDialog::designedSize() {
    return {Twips::toPixels(DialogWidth), Twips::toPixels(DialogHeight)};
}

// Two boxes to a line share the extra width; the URL takes all of it, and
// the buttons stay below the boxes at the dialog's foot.
void EpisodeDialog::planGrowth() {
    for (int column = 0; column < EpisodeColumn::Count; ++column) {
        const BoxPlace &place = Places[column];
        if (place.width == WideBoxWidth) {
            m_growth.add(*m_boxes[column], {0, 1, 0, 0});
        } else if (place.left == RightColumnLeft) {
            m_growth.add(*m_boxes[column], {0.5, 0.5, 0, 0});
            m_growth.add(*m_labels[column], {0.5, 0, 0, 0});
        } else {
            m_growth.add(*m_boxes[column], {0, 0.5, 0, 0});
        }
    }
    m_growth.add(*m_save, {0, 0.5, 1, 0});
    m_growth.add(*m_cancel, {0.5, 0.5, 1, 0});
}

void EpisodeDialog::resizeEvent(QResizeEvent *event) {
    QDialog::resizeEvent(event);
    m_growth.apply(event->size() - designedSize());
}

void EpisodeDialog::load(const QString &applicationFolder) {
    StepGuard guard(m_errors, Locations::form2("Form_Load"));
    guard.step(100, [&] { ApplyFormColours(*this); });
    guard.step(102, [&] { setWindowIcon(QApplication::windowIcon()); });
    bool handFound = false;
    const QString handPath = HandCursor::path(applicationFolder);
    guard.step(106, [&] { handFound = FileExists(handPath); });
    if (handFound)
        guard.step(108, [&] { m_hover->setHand(HandCursor::load(handPath)); });
    CentreOnScreen(*this);
}

void EpisodeDialog::showEvent(QShowEvent *event) {
    // Stays above the main window and goes with it, as a child dialog would.
    if (m_owner && m_owner->window()->windowHandle() && windowHandle())
        windowHandle()->setTransientParent(m_owner->window()->windowHandle());
    QDialog::showEvent(event);
    if (!m_moreTagsOnShow.isEmpty()) {
        m_moreTagsCursorTag = std::exchange(m_moreTagsOnShow, QString());
        QTimer::singleShot(0, this, &EpisodeDialog::openMoreTags);
    }
}

QString EpisodeDialog::field(int column) const {
    return m_boxes.at(column)->text();
}

void EpisodeDialog::setField(int column, const QString &text) {
    QLineEdit *box = m_boxes.at(column);
    box->setText(text);
    // A long text reads from its start.
    box->setCursorPosition(0);
}

void EpisodeDialog::setFileDialogs(FileDialogService &dialogs) {
    m_help->setFileDialogs(dialogs);
}

QByteArray EpisodeDialog::extra() const {
    if (m_extraEdited || isAddMode())
        return m_extra;
    if (m_selectedEpisode >= 1 && m_selectedEpisode <= m_document.episodeCount())
        return m_document.episode(m_selectedEpisode).extra();
    return QByteArray();
}

void EpisodeDialog::markGuidNotPermaLink() {
    m_extra = KeptContent::withGuidNotPermaLink(extra());
    m_extraEdited = true;
}

void EpisodeDialog::openMoreTags() {
    TagTemplates::Context context;
    context.websiteLink = m_document.field(ChannelField::Link);
    context.ownerEmail = m_document.field(ChannelField::OwnerEmail);
    context.episodeTitle = field(EpisodeColumn::Title);
    context.episodeUrl = field(EpisodeColumn::Url);
    context.episodeNumber = isAddMode() ? m_document.episodeCount() + 1 : m_selectedEpisode;
    // Prefixes an earlier confirmation of this dialog will declare count too.
    PodcastDocument::Namespaces declared = m_document.namespaces();
    declared.append(m_addedNamespaces);
    MoreTagsDialog tags(MoreTagsDialog::Scope::Episode, extra(), declared, context, m_messages,
                        this);
    if (!m_moreTagsCursorTag.isEmpty())
        tags.placeCursorAtTag(std::exchange(m_moreTagsCursorTag, QString()));
    const int result = m_runMoreTags ? m_runMoreTags(tags) : tags.exec();
    if (result != QDialog::Accepted)
        return;
    m_extra = tags.block();
    m_extraEdited = true;
    for (const auto &binding : tags.addedNamespaces()) {
        if (!m_addedNamespaces.contains(binding))
            m_addedNamespaces.append(binding);
    }
}

bool EpisodeDialog::isAddMode() const {
    return windowTitle() == addCaption();
}

void EpisodeDialog::save() {
    StepGuard guard(m_errors, Locations::form2("PushButton1_Click"));
    guard.enter(100);
    if (isBlank(field(EpisodeColumn::Title))) {
        guard.step(102, [&] {
            m_messages.notice(QStringLiteral("You forgot to input title."));
            m_boxes[EpisodeColumn::Title]->setFocus();
        });
        return;
    }

    bool addMode = true;
    guard.step(104, [&] { addMode = isAddMode(); });
    // The episode is made here and handed back: the window records it as
    // one step of the document's history.
    qsizetype target = 0;
    Episode episode;
    if (addMode) {
        guard.step(106, [&] {
            episode[EpisodeColumn::Title] = field(EpisodeColumn::Title);
            target = m_document.episodeCount() + 1;
        });
    } else {
        guard.step(108, [&] {
            if (m_selectedEpisode < 1 || m_selectedEpisode > m_document.episodeCount())
                throw StepFailure(QStringLiteral("No episode is selected."));
            target = m_selectedEpisode;
        });
        if (target > 0) {
            guard.step(110, [&] {
                episode = m_document.episode(target);
                episode[EpisodeColumn::Title] = field(EpisodeColumn::Title);
            });
        }
    }
    int columns = EpisodeColumn::Count;
    guard.step(112, [&] { columns = m_document.columnCount(); });
    // Without a target row the typed texts have nowhere to go; the missing
    // row was reported once above.
    for (int column = 1; target > 0 && column < columns; ++column) {
        guard.step(114, [&] { episode[column] = field(column); });
        guard.enter(116);
    }
    PodcastDocument::Namespaces namespaces = m_document.namespaces();
    if (target > 0 && m_extraEdited) {
        guard.step(116, [&] {
            episode.setExtra(m_extra);
            for (const auto &binding : m_addedNamespaces) {
                const bool bound =
                    std::any_of(namespaces.begin(), namespaces.end(),
                                [&](const auto &b) { return b.first == binding.first; });
                if (!bound)
                    namespaces.append(binding);
            }
        });
    }
    guard.step(118, [&] {
        if (target > 0)
            m_saved = Saved{std::move(episode), target, addMode, std::move(namespaces)};
    });
    guard.step(120, [&] { accept(); });
}

void EpisodeDialog::reject() {
    StepGuard guard(m_errors, Locations::form2("PushButton2_Click"));
    guard.step(100, [&] { QDialog::reject(); });
}
