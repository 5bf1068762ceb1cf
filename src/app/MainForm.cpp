#include "MainForm.h"

#include "look/CaptionFit.h"
#include "look/FormFrame.h"
#include "look/FormLook.h"
#include "look/HoverCursorRule.h"
#include "look/OneLineItemDelegate.h"
#include "look/Twips.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QTreeView>
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
constexpr int RightColumnLeft = 5280;
constexpr int WideBoxWidth = 6135;
constexpr int FieldHeight = 375;
constexpr int CaptionHeight = 225;
constexpr int ButtonHeight = 405;
constexpr int FormWidth = 8040;
constexpr int FormHeight = 8370;

struct ButtonPlace {
    int number;
    const char *caption;
    int left, top, width;
    bool inEpisodeFrame;
    FormGrowth::Share growth;
};

constexpr qreal Half = 0.5;
constexpr qreal Third = 1.0 / 3.0;

// The buttons side by side share the extra width; those below the list
// follow its bottom edge.
constexpr std::array<ButtonPlace, 8> ButtonPlaces{{
    {6, "Help", 120, 120, 7800, false, {0, 1, 0, 0}},
    {5, "New Podcast.xml", 120, 630, 3840, false, {0, Half, 0, 0}},
    {3, "Save This As Podcast.xml", 4080, 630, 3840, false, {Half, Half, 0, 0}},
    {7, "Load Podcast.xml", 120, 1140, 3840, false, {0, Half, 0, 0}},
    {8, "Load Sample/Example Podcast", 4080, 1140, 3840, false, {Half, Half, 0, 0}},
    {1, "Add New Episode", 180, 2100, 2520, true, {0, Third, 1, 0}},
    {4, "Edit Episode", 2820, 2100, 2640, true, {Third, Third, 1, 0}},
    {2, "Delete Episode", 5580, 2100, 2040, true, {2 * Third, Third, 1, 0}},
}};

// Keyboard order after the twelve fields and the list.
constexpr std::array<int, 8> ButtonTabOrder{1, 4, 2, 5, 3, 7, 6, 8};
} // namespace

QSize MainForm::designedSize() {
    return {Twips::toPixels(FormWidth), Twips::toPixels(FormHeight)};
}

QString MainForm::listToolTip() {
    return QStringLiteral("Drag and drop files here. Double-click item to remove it. Move | line "
                          "to right and out of window to reveal full names.");
}

MainForm::MainForm(HoverCursorRule &hover, QWidget *parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("Form1"));
    setMinimumSize(designedSize());
    resize(designedSize());
    FormLook::setBackground(*this, FormLook::designedBackground());
    hover.addBackground(*this);
    buildFrames(hover);
    buildFields();
    buildList(hover);
    buildButtons(hover);
    chainTabOrder();
    planGrowth();
}

void MainForm::buildFrames(HoverCursorRule &hover) {
    m_podcastFrame = new FormFrame(QStringLiteral("Podcast Info"), this);
    m_podcastFrame->setObjectName(QStringLiteral("Frame1"));
    m_podcastFrame->setGeometry(Twips::rect(120, 1650, 7800, 3855));
    m_episodeFrame = new FormFrame(QStringLiteral("Episode(s)"), this);
    m_episodeFrame->setObjectName(QStringLiteral("Frame2"));
    m_episodeFrame->setGeometry(Twips::rect(120, 5580, 7800, 2685));
    hover.addBackground(*m_podcastFrame);
    hover.addBackground(*m_episodeFrame);
}

void MainForm::buildFields() {
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
    }
}

void MainForm::buildList(HoverCursorRule &hover) {
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
    m_list->setWordWrap(false);
    // One line a row: a summary written over several lines must not make
    // every row of the list as tall as its first one.
    m_list->setItemDelegate(new OneLineItemDelegate(m_list));
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionsMovable(false);
    m_list->header()->setDefaultSectionSize(Twips::toPixels(1440));
    // Rows dragged within the list reorder the feed; files dropped on it
    // are taken by the window, which the model refuses.
    m_list->setDragEnabled(true);
    m_list->setAcceptDrops(true);
    m_list->setDragDropMode(QAbstractItemView::InternalMove);
    m_list->setDefaultDropAction(Qt::MoveAction);
    m_list->setDropIndicatorShown(true);
    hover.addBackground(*m_list);
}

void MainForm::buildButtons(HoverCursorRule &hover) {
    for (const ButtonPlace &place : ButtonPlaces) {
        QWidget *container = place.inEpisodeFrame ? static_cast<QWidget *>(m_episodeFrame) : this;
        auto *button = new QPushButton(QString::fromUtf8(place.caption), container);
        button->setObjectName(QStringLiteral("PushButton%1").arg(place.number));
        button->setGeometry(Twips::rect(place.left, place.top, place.width, ButtonHeight));
        // Enter presses the button that has the focus, as Space does.
        button->setAutoDefault(true);
        FormLook::styleButton(*button);
        CaptionFit::fitButton(*button);
        hover.addButton(*button);
        m_buttons[place.number] = button;
    }
}

void MainForm::chainTabOrder() {
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
}

void MainForm::planGrowth() {
    m_growth.add(*m_podcastFrame, {0, 1, 0, 0});
    m_growth.add(*m_episodeFrame, {0, 1, 0, 1});
    m_growth.add(*m_list, {0, 1, 0, 1});
    for (int index = 0; index < ChannelField::Count; ++index) {
        const FieldPlace &place = FieldPlaces[index];
        if (place.width == WideBoxWidth) {
            m_growth.add(*m_fields[index], {0, 1, 0, 0});
        } else if (place.left == RightColumnLeft) {
            // The right column moves over by half and grows by half, its
            // captions with it, so both columns keep their proportions.
            m_growth.add(*m_fields[index], {Half, Half, 0, 0});
            m_growth.add(*m_labels[index], {Half, 0, 0, 0});
        } else {
            m_growth.add(*m_fields[index], {0, Half, 0, 0});
        }
    }
    for (const ButtonPlace &place : ButtonPlaces)
        m_growth.add(*m_buttons[place.number], place.growth);
}

void MainForm::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    m_growth.apply(event->size() - designedSize());
}
