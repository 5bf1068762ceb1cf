#include "PodcastDocument.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QIODevice>
#include <QMimeData>
#include <algorithm>
#include <stdexcept>

PodcastDocument::PodcastDocument(QObject *parent)
    : QAbstractTableModel(parent) {}

QString PodcastDocument::field(int index) const {
    if (index < 0 || index >= ChannelField::Count)
        throw std::out_of_range("Channel field index out of range");
    return m_fields[index];
}

void PodcastDocument::setField(int index, const QString &text) {
    if (index < 0 || index >= ChannelField::Count)
        throw std::out_of_range("Channel field index out of range");
    if (m_fields[index] == text)
        return;
    m_fields[index] = text;
    Q_EMIT fieldChanged(index, text);
    markEdited();
}

void PodcastDocument::checkNumber(qsizetype number) const {
    if (number < 1 || number > m_episodes.size())
        throw std::out_of_range("Invalid episode number");
}

const Episode &PodcastDocument::episode(qsizetype number) const {
    checkNumber(number);
    return m_episodes[number - 1];
}

qsizetype PodcastDocument::appendEpisode(const QString &title) {
    Episode episode;
    episode[EpisodeColumn::Title] = title;
    const auto row = static_cast<int>(m_episodes.size());
    beginInsertRows(QModelIndex(), row, row);
    m_episodes.append(std::move(episode));
    endInsertRows();
    return m_episodes.size();
}

void PodcastDocument::appendEpisodes(QList<Episode> episodes) {
    if (episodes.isEmpty())
        return;
    const auto first = static_cast<int>(m_episodes.size());
    const auto last = static_cast<int>(m_episodes.size() + episodes.size() - 1);
    beginInsertRows(QModelIndex(), first, last);
    if (m_episodes.isEmpty())
        m_episodes = std::move(episodes);
    else
        m_episodes.append(std::move(episodes));
    endInsertRows();
}

void PodcastDocument::setEpisodeColumn(qsizetype number, int column, const QString &text) {
    checkNumber(number);
    if (column < 0 || column >= EpisodeColumn::Count)
        throw std::out_of_range("Invalid episode column");
    m_episodes[number - 1][column] = text;
    const auto changed = index(static_cast<int>(number - 1), column);
    Q_EMIT dataChanged(changed, changed, {Qt::DisplayRole});
}

void PodcastDocument::setEpisode(qsizetype number, const Episode &episode) {
    checkNumber(number);
    m_episodes[number - 1] = episode;
    const auto row = static_cast<int>(number - 1);
    Q_EMIT dataChanged(index(row, 0), index(row, EpisodeColumn::Count - 1), {Qt::DisplayRole});
}

void PodcastDocument::removeEpisode(qsizetype number) {
    checkNumber(number);
    const auto row = static_cast<int>(number - 1);
    beginRemoveRows(QModelIndex(), row, row);
    m_episodes.removeAt(number - 1);
    endRemoveRows();
}

void PodcastDocument::insertEpisodes(qsizetype number, QList<Episode> episodes) {
    if (number < 1 || number > m_episodes.size() + 1)
        throw std::out_of_range("Invalid episode number");
    if (episodes.isEmpty())
        return;
    const auto first = static_cast<int>(number - 1);
    beginInsertRows(QModelIndex(), first, static_cast<int>(first + episodes.size() - 1));
    m_episodes.insert(first, episodes.size(), Episode());
    std::move(episodes.begin(), episodes.end(), m_episodes.begin() + first);
    endInsertRows();
}

void PodcastDocument::removeEpisodes(qsizetype number, qsizetype count) {
    if (count <= 0)
        return;
    checkNumber(number);
    checkNumber(number + count - 1);
    const auto first = static_cast<int>(number - 1);
    beginRemoveRows(QModelIndex(), first, static_cast<int>(first + count - 1));
    m_episodes.remove(first, count);
    endRemoveRows();
}

bool PodcastDocument::moveEpisodes(qsizetype first, qsizetype count, qsizetype to) {
    if (count <= 0)
        return false;
    checkNumber(first);
    checkNumber(first + count - 1);
    if (to < 1 || to + count - 1 > m_episodes.size())
        throw std::out_of_range("Invalid episode number");
    if (to == first)
        return false;
    const auto sourceFirst = static_cast<int>(first - 1);
    const auto sourceLast = static_cast<int>(first + count - 2);
    // Qt counts the destination before the move: below the block, it is the
    // row the block ends up in front of.
    const auto destination = static_cast<int>(to < first ? to - 1 : to - 1 + count);
    if (!beginMoveRows(QModelIndex(), sourceFirst, sourceLast, QModelIndex(), destination))
        return false;
    const auto begin = m_episodes.begin();
    if (to < first)
        std::rotate(begin + (to - 1), begin + sourceFirst, begin + sourceLast + 1);
    else
        std::rotate(begin + sourceFirst, begin + sourceLast + 1, begin + (to - 1 + count));
    endMoveRows();
    return true;
}

void PodcastDocument::setEpisodeExtra(qsizetype number, const QByteArray &extra) {
    checkNumber(number);
    m_episodes[number - 1].setExtra(extra);
}

PodcastContent PodcastDocument::content() const {
    PodcastContent content;
    std::copy(m_fields.begin(), m_fields.end(), content.fields.begin());
    content.episodes = m_episodes;
    content.channelExtra = m_channelExtra;
    content.hiddenItems = m_hiddenItems;
    content.prolog = m_prolog;
    content.namespaces = m_namespaces;
    content.source = m_source;
    return content;
}

void PodcastDocument::replaceContent(const PodcastContent &content) {
    beginResetModel();
    m_episodes = content.episodes;
    endResetModel();
    for (int i = 0; i < ChannelField::Count; ++i)
        setField(i, content.fields[i]);
    setChannelExtra(content.channelExtra);
    m_hiddenItems = content.hiddenItems;
    m_prolog = content.prolog;
    m_namespaces = content.namespaces;
    m_source = content.source;
}

void PodcastDocument::clear() {
    if (!m_episodes.isEmpty()) {
        beginResetModel();
        m_episodes.clear();
        m_episodes.squeeze();
        endResetModel();
    }
    for (int i = 0; i < ChannelField::Count; ++i)
        setField(i, QString());
    setChannelExtra({});
    m_hiddenItems.clear();
    m_prolog.clear();
    m_namespaces.clear();
    m_source.reset();
}

bool PodcastDocument::isBlank() const {
    return m_episodes.isEmpty() && !m_source && m_channelExtra.isEmpty() &&
           m_hiddenItems.isEmpty() && m_prolog.isEmpty() &&
           std::all_of(m_fields.begin(), m_fields.end(),
                       [](const QString &field) { return field.isEmpty(); });
}

void PodcastDocument::setChannelExtra(const QByteArray &extra) {
    if (m_channelExtra == extra)
        return;
    m_channelExtra = extra;
    markEdited();
}

void PodcastDocument::setHiddenItems(const QByteArray &items) {
    m_hiddenItems = items;
}

void PodcastDocument::setProlog(const QByteArray &prolog) {
    m_prolog = prolog;
}

void PodcastDocument::setNamespaces(const Namespaces &namespaces) {
    m_namespaces = namespaces;
}

bool PodcastDocument::DocumentChanged() const {
    return m_keeper.changed ? m_keeper.changed() : m_documentChanged;
}

void PodcastDocument::setChangeKeeper(ChangeKeeper keeper) {
    m_keeper = std::move(keeper);
}

void PodcastDocument::markEdited() {
    // A step of the history changes the answer by being done; an edit made
    // outside it leaves the saved state behind.
    if (m_historySteps == 0 || !m_keeper.setChanged)
        setDocumentChanged(true);
}

void PodcastDocument::setDocumentChanged(bool changed) {
    if (m_keeper.setChanged) {
        m_keeper.setChanged(changed);
        return;
    }
    if (m_documentChanged == changed)
        return;
    m_documentChanged = changed;
    Q_EMIT documentChangedFlagChanged(changed);
}

int PodcastDocument::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_episodes.size());
}

int PodcastDocument::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : EpisodeColumn::Count;
}

QVariant PodcastDocument::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return m_episodes[index.row()][index.column()];
    return {};
}

QVariant PodcastDocument::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < EpisodeColumn::Count)
        return EpisodeColumn::header(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags PodcastDocument::flags(const QModelIndex &index) const {
    // Rows are dropped between rows, never onto one.
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled |
           Qt::ItemNeverHasChildren;
}

Qt::DropActions PodcastDocument::supportedDragActions() const {
    return Qt::MoveAction;
}

Qt::DropActions PodcastDocument::supportedDropActions() const {
    return Qt::MoveAction;
}

QString PodcastDocument::rowsMimeType() {
    return QStringLiteral("application/x-brindlewood-episode-rows");
}

QStringList PodcastDocument::mimeTypes() const {
    return {rowsMimeType()};
}

QMimeData *PodcastDocument::mimeData(const QModelIndexList &indexes) const {
    QList<int> rows;
    for (const QModelIndex &index : indexes) {
        if (index.isValid() && index.model() == this && !rows.contains(index.row()))
            rows.append(index.row());
    }
    if (rows.isEmpty())
        return nullptr;
    std::sort(rows.begin(), rows.end());
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    // Names this document in this process, so that a drop from another window
    // or program is never taken for rows of this list.
    stream << QCoreApplication::applicationPid() << reinterpret_cast<quintptr>(this) << rows;
    auto *data = new QMimeData;
    data->setData(rowsMimeType(), bytes);
    return data;
}

std::pair<qsizetype, qsizetype> PodcastDocument::draggedBlock(const QMimeData *data) const {
    if (!data || !data->hasFormat(rowsMimeType()))
        return {0, 0};
    QDataStream stream(data->data(rowsMimeType()));
    qint64 pid = 0;
    quintptr origin = 0;
    QList<int> rows;
    stream >> pid >> origin >> rows;
    if (stream.status() != QDataStream::Ok || pid != QCoreApplication::applicationPid() ||
        origin != reinterpret_cast<quintptr>(this) || rows.isEmpty())
        return {0, 0};
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (rows[i] != rows.first() + i)
            return {0, 0};
    }
    if (rows.first() < 0 || rows.last() >= m_episodes.size())
        return {0, 0};
    return {rows.first() + 1, rows.size()};
}

bool PodcastDocument::canDropMimeData(const QMimeData *data, Qt::DropAction action, int, int,
                                      const QModelIndex &) const {
    return action == Qt::MoveAction && draggedBlock(data).second > 0;
}

bool PodcastDocument::dropMimeData(const QMimeData *data, Qt::DropAction action, int row,
                                   int column, const QModelIndex &parent) {
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    const auto [first, count] = draggedBlock(data);
    const int destination = row >= 0 ? row : parent.isValid() ? parent.row() : rowCount();
    moveRows(QModelIndex(), static_cast<int>(first - 1), static_cast<int>(count), QModelIndex(),
             destination);
    return false;
}

bool PodcastDocument::moveRows(const QModelIndex &sourceParent, int sourceRow, int count,
                               const QModelIndex &destinationParent, int destinationChild) {
    if (sourceParent.isValid() || destinationParent.isValid() || count <= 0 || sourceRow < 0 ||
        sourceRow + count > m_episodes.size() || destinationChild < 0 ||
        destinationChild > m_episodes.size())
        return false;
    // Dropping a block into its own span moves nothing.
    if (destinationChild >= sourceRow && destinationChild <= sourceRow + count)
        return false;
    const qsizetype to =
        destinationChild < sourceRow ? destinationChild + 1 : destinationChild - count + 1;
    return requestMove(sourceRow + 1, count, to);
}

bool PodcastDocument::requestMove(qsizetype first, qsizetype count, qsizetype to) {
    if (m_moveHandler)
        return m_moveHandler(first, count, to);
    return moveEpisodes(first, count, to);
}
