#pragma once

#include "ChannelField.h"
#include "Episode.h"
#include "PodcastContent.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>
#include <array>
#include <functional>
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
    // Puts records back where they stood: the first becomes episode number,
    // later ones move down. number may be count + 1 to append.
    void insertEpisodes(qsizetype number, QList<Episode> episodes);
    // Takes count records out from episode number on.
    void removeEpisodes(qsizetype number, qsizetype count);
    // Moves the block of count records starting at episode first so that
    // its first record becomes episode to. Returns false when nothing moves.
    bool moveEpisodes(qsizetype first, qsizetype count, qsizetype to);
    // An item's kept content (see channelExtra); leaves DocumentChanged.
    void setEpisodeExtra(qsizetype number, const QByteArray &extra);
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
    using Namespaces = PodcastContent::Namespaces;
    const Namespaces &namespaces() const { return m_namespaces; }
    void setNamespaces(const Namespaces &namespaces);

    // The whole document in one piece, and putting one back: fields follow
    // setField's rule, the channel's kept content setChannelExtra's, and the
    // list is reset at once rather than row by row.
    PodcastContent content() const;
    void replaceContent(const PodcastContent &content);

    // A view's drag within the list asks for a move of rows. When a handler is
    // set (the window, to record the move for undo) it is asked instead and
    // does the move itself; its answer is whether it did.
    using MoveHandler = std::function<bool(qsizetype first, qsizetype count, qsizetype to)>;
    void setMoveHandler(MoveHandler handler) { m_moveHandler = std::move(handler); }

    // The text of the file the document was first loaded from, which a save
    // changes only where the document changed; null for a document made in
    // the editor. Cleared with the document.
    const std::shared_ptr<const FeedSource> &source() const { return m_source; }
    void setSource(std::shared_ptr<const FeedSource> source) { m_source = std::move(source); }
    // Nothing typed, loaded or kept: a load into it makes the file its text.
    bool isBlank() const;

    // Whether the document differs from its file. Once a history keeps it
    // (setChangeKeeper), that history is the one place the answer comes
    // from; an edit then leaves it to the history's commands.
    bool DocumentChanged() const;
    void setDocumentChanged(bool changed);
    struct ChangeKeeper {
        std::function<bool()> changed;
        std::function<void(bool)> setChanged;
    };
    void setChangeKeeper(ChangeKeeper keeper);
    // Edits between these two are one step of the keeper's history.
    void beginHistoryStep() { ++m_historySteps; }
    void endHistoryStep() { --m_historySteps; }
    // The keeper's answer changed.
    void announceDocumentChanged(bool changed) { Q_EMIT documentChangedFlagChanged(changed); }

    // QAbstractTableModel
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    // Moves the dragged rows itself and answers false, so that the view does
    // not then remove the source rows as it does after a move between models.
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;
    bool moveRows(const QModelIndex &sourceParent, int sourceRow, int count,
                  const QModelIndex &destinationParent, int destinationChild) override;

    // The MIME type of rows dragged within one list.
    static QString rowsMimeType();

Q_SIGNALS:
    void fieldChanged(int index, const QString &text);
    void documentChangedFlagChanged(bool changed);

private:
    void checkNumber(qsizetype number) const;
    // An edit: changed, unless a history keeps that.
    void markEdited();
    // The dragged block from data when it comes from this very document and
    // is one run of rows; first is 1-based, count 0 when it is not.
    std::pair<qsizetype, qsizetype> draggedBlock(const QMimeData *data) const;
    bool requestMove(qsizetype first, qsizetype count, qsizetype to);

    std::array<QString, ChannelField::Count> m_fields;
    QList<Episode> m_episodes;
    QByteArray m_channelExtra;
    QByteArray m_hiddenItems;
    QByteArray m_prolog;
    Namespaces m_namespaces;
    std::shared_ptr<const FeedSource> m_source;
    bool m_documentChanged = false;
    ChangeKeeper m_keeper;
    int m_historySteps = 0;
    MoveHandler m_moveHandler;
};
