#pragma once

#include "ChannelField.h"
#include "Episode.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>
#include <array>
#include <utility>

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
    // Empties the Episode list, then sets the fields to empty text in index
    // order; kept content goes too.
    void clear();

    // Kept content: what a loaded feed held that no field or column holds,
    // written back where it belongs. Each block is UTF-8 XML text, one
    // top-level node a line, no indentation of its own; prefixes are those of
    // namespaces(). In a channel or episode block, the first element named
    // like one the editor writes and holding no text of its own is not an
    // element of its own: its attributes and children go onto the written one
    // (`<guid isPermaLink="false"/>`, a sub-category inside itunes:category).
    const QByteArray &channelExtra() const { return m_channelExtra; }
    // A different block sets DocumentChanged, as a field does.
    void setChannelExtra(const QByteArray &extra);
    // Items without a title, written after the listed episodes.
    const QByteArray &hiddenItems() const { return m_hiddenItems; }
    void setHiddenItems(const QByteArray &items);
    // Comments and processing instructions that stood before the root element.
    const QByteArray &prolog() const { return m_prolog; }
    void setProlog(const QByteArray &prolog);
    // Prefix and namespace name of every prefix kept content uses, in the
    // order they are declared on the root element after itunes.
    using Namespaces = QList<std::pair<QString, QString>>;
    const Namespaces &namespaces() const { return m_namespaces; }
    void setNamespaces(const Namespaces &namespaces);

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
    QByteArray m_channelExtra;
    QByteArray m_hiddenItems;
    QByteArray m_prolog;
    Namespaces m_namespaces;
    bool m_documentChanged = false;
};
