#pragma once

#include "ChannelField.h"
#include "Episode.h"

#include <QAbstractTableModel>
#include <QList>
#include <array>

// The one podcast the editor holds: twelve Channel fields and the Episode
// list. The Episode list is also the table model the main window shows, so
// the view never holds a copy that could disagree with what is saved.
//
// Episode numbers are 1-based (the first row is episode 1); field indexes and
// columns are 0-based. Nothing is trimmed, escaped or limited in length.
class PodcastDocument : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit PodcastDocument(QObject *parent = nullptr);

    // Channel fields
    QString field(int index) const;
    // A different text sets DocumentChanged; the same text changes nothing.
    void setField(int index, const QString &text);

    // Episode list
    qsizetype episodeCount() const { return m_episodes.size(); }
    const Episode &episode(qsizetype number) const;
    const QList<Episode> &episodes() const { return m_episodes; }
    // Appends a record with only its title; returns its episode number.
    qsizetype appendEpisode(const QString &title);
    // Appends many records as one batch (one pair of row signals).
    void appendEpisodes(QList<Episode> episodes);
    void setEpisodeColumn(qsizetype number, int column, const QString &text);
    void setEpisode(qsizetype number, const Episode &episode);
    void removeEpisode(qsizetype number);
    // Empties the Episode list, then sets the fields to empty text in index order.
    void clear();

    bool DocumentChanged() const { return m_documentChanged; }
    void setDocumentChanged(bool changed);

    // QAbstractTableModel
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    void fieldChanged(int index, const QString &text);
    void documentChangedFlagChanged(bool changed);

private:
    void checkNumber(qsizetype number) const;

    std::array<QString, ChannelField::Count> m_fields;
    QList<Episode> m_episodes;
    bool m_documentChanged = false;
};
