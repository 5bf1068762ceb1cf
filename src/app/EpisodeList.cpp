#include "EpisodeList.h"

#include "DroppedFiles.h"
#include "EditorSettings.h"
#include "model/PodcastDocument.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QRegularExpression>
#include <QSettings>
#include <QStyle>
#include <QTextDocument>
#include <QToolTip>
#include <QTreeView>

namespace {
constexpr int ExcerptWidth = 80;
constexpr int ExcerptLines = 5;
const auto ColumnWidthsKey = QStringLiteral("list/columnWidths");

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
} // namespace

EpisodeList::EpisodeList(QTreeView &view, PodcastDocument &document, QObject *parent)
    : QObject(parent)
    , m_view(view)
    , m_document(document) {
    m_view.installEventFilter(this);
    m_view.viewport()->installEventFilter(this);
}

void EpisodeList::showDocument() {
    m_view.setModel(&m_document);
    // Tabbing into the list frames its first row; that row is then the
    // selected one, as arrow keys and clicks make it.
    connect(m_view.selectionModel(), &QItemSelectionModel::currentChanged, this,
            &EpisodeList::selectCurrentRow);
    connect(m_view.selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &EpisodeList::selectionChanged);
}

QString EpisodeList::excerpt(const QString &text) {
    QStringList lines = wrapped(text);
    if (lines.size() > ExcerptLines) {
        lines.resize(ExcerptLines);
        QString &last = lines.last();
        last = last.left(ExcerptWidth - 1) + QChar(0x2026);
    }
    return lines.join(u'\n');
}

qsizetype EpisodeList::selectedEpisode() const {
    const QItemSelectionModel *selection = m_view.selectionModel();
    if (!selection)
        return 0;
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? 0 : rows.constFirst().row() + 1;
}

void EpisodeList::selectEpisode(qsizetype number) {
    QItemSelectionModel *selection = m_view.selectionModel();
    if (!selection)
        return;
    if (number < 1 || number > m_document.episodeCount()) {
        selection->clearSelection();
        return;
    }
    const QModelIndex index = m_document.index(static_cast<int>(number - 1), 0);
    selection->setCurrentIndex(index,
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_view.scrollTo(index);
}

void EpisodeList::selectEpisodes(qsizetype first, qsizetype count) {
    QItemSelectionModel *selection = m_view.selectionModel();
    if (!selection || count < 1)
        return;
    const QModelIndex top = m_document.index(static_cast<int>(first - 1), 0);
    const QModelIndex bottom =
        m_document.index(static_cast<int>(first + count - 2), m_document.columnCount() - 1);
    selection->setCurrentIndex(top, QItemSelectionModel::NoUpdate);
    selection->select(QItemSelection(top, bottom),
                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // The last one into view, then the first, so that as many as fit show.
    m_view.scrollTo(bottom.siblingAtColumn(0));
    m_view.scrollTo(top);
}

void EpisodeList::restoreColumnWidths() {
    const QStringList widths = EditorSettings::open().value(ColumnWidthsKey).toStringList();
    QHeaderView *header = m_view.header();
    for (int column = 0; column < widths.size() && column < header->count(); ++column) {
        bool ok = false;
        const int width = widths[column].toInt(&ok);
        // A width from another screen or a damaged file is not taken blindly.
        if (ok && width >= header->minimumSectionSize() && width <= 4000)
            header->resizeSection(column, width);
    }
}

void EpisodeList::saveColumnWidths() const {
    const QHeaderView *header = m_view.header();
    QStringList widths;
    for (int column = 0; column < header->count(); ++column)
        widths.append(QString::number(header->sectionSize(column)));
    EditorSettings::open().setValue(ColumnWidthsKey, widths);
}

bool EpisodeList::eventFilter(QObject *watched, QEvent *event) {
    if (watched == &m_view && event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        // The list's own Delete below, not the menu entry's: it keeps the
        // key's rules for the changed flag.
        event->accept();
        return true;
    }
    if (watched == &m_view && event->type() == QEvent::KeyPress) {
        // The Delete key removes the selected row whatever the modifiers.
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
            Q_EMIT deletePressed();
            return true;
        }
    } else if (watched == m_view.viewport()) {
        if (fileDragEvent(event))
            return true;
        if (event->type() == QEvent::MouseButtonDblClick &&
            static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            Q_EMIT doubleClicked();
            return true;
        }
        if (event->type() == QEvent::ToolTip) {
            auto *help = static_cast<QHelpEvent *>(event);
            QToolTip::showText(help->globalPos(), toolTipAt(help->pos()), m_view.viewport());
            return true;
        }
    }
    if (watched == &m_view && event->type() == QEvent::FocusIn)
        selectCurrentRow();
    return QObject::eventFilter(watched, event);
}

// The warning that a double-click removes an episode shows over every row;
// a cell whose text is cut off adds that text above it.
QString EpisodeList::toolTipAt(const QPoint &viewportPos) const {
    const QModelIndex index = m_view.indexAt(viewportPos);
    const QString text = index.data(Qt::DisplayRole).toString();
    if (!index.isValid() || !cellCutOff(index, text))
        return m_view.toolTip();
    const QString tip = excerpt(text) + QStringLiteral("\n\n") + m_view.toolTip();
    // A text that looks like markup is shown as typed, not rendered.
    if (Qt::mightBeRichText(tip))
        return QStringLiteral("<qt>") + tip.toHtmlEscaped().replace(u'\n', QStringLiteral("<br>"));
    return tip;
}

bool EpisodeList::cellCutOff(const QModelIndex &index, const QString &text) const {
    if (text.contains(u'\n') || text.contains(u'\r') || text.contains(QChar(0x2028)))
        return true;
    // What the cell shows of itself: the part inside the list, less the
    // margins the item delegate keeps on either side of its text.
    const QRect shown = m_view.visualRect(index).intersected(m_view.viewport()->rect());
    const int margin =
        m_view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &m_view) + 1;
    QFont font = m_view.font();
    const QVariant cellFont = index.data(Qt::FontRole);
    if (cellFont.canConvert<QFont>())
        font = cellFont.value<QFont>();
    return QFontMetrics(font).horizontalAdvance(text) > shown.width() - 2 * margin;
}

// The row that carries the focus frame is the one Delete and Edit act on.
void EpisodeList::selectCurrentRow() {
    QItemSelectionModel *selection = m_view.selectionModel();
    if (!selection)
        return;
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && !selection->isRowSelected(current.row(), current.parent()))
        selection->select(current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

bool EpisodeList::fileDragEvent(QEvent *event) {
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
        Q_EMIT filesDropped(*drop->mimeData());
        return true;
    }
    default:
        return false;
    }
}
