#include "PodcastDocument.h"

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
    setDocumentChanged(true);
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
}

void PodcastDocument::setChannelExtra(const QByteArray &extra) {
    if (m_channelExtra == extra)
        return;
    m_channelExtra = extra;
    setDocumentChanged(true);
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

void PodcastDocument::setDocumentChanged(bool changed) {
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
