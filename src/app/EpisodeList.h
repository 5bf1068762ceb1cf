#pragma once

#include <QObject>
#include <QString>

class PodcastDocument;
class QMimeData;
class QModelIndex;
class QPoint;
class QTreeView;

// The episode list's behaviour beyond what QTreeView does: which row is
// selected, the Delete key and double-click, tooltips with a cut-off cell's
// text, files dragged onto it, and the column widths the user chose.
class EpisodeList : public QObject {
    Q_OBJECT

public:
    EpisodeList(QTreeView &view, PodcastDocument &document, QObject *parent = nullptr);

    // Shows the document in the list; the selection model exists from here on.
    void showDocument();

    // Episode number of the selected row, 0 when none is selected.
    qsizetype selectedEpisode() const;
    // Selects one row (0 clears the selection).
    void selectEpisode(qsizetype number);
    // Selects `count` rows from episode `first` and shows as many as fit.
    void selectEpisodes(qsizetype first, qsizetype count);

    // Column widths, kept between sessions.
    void restoreColumnWidths();
    void saveColumnWidths() const;

    // A cell's full text for its tooltip: a long summary must not fill the screen.
    static QString excerpt(const QString &text);

Q_SIGNALS:
    void deletePressed();
    void doubleClicked();
    void filesDropped(const QMimeData &data);
    void selectionChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString toolTipAt(const QPoint &viewportPos) const;
    bool cellCutOff(const QModelIndex &index, const QString &text) const;
    void selectCurrentRow();
    bool fileDragEvent(QEvent *event);

    QTreeView &m_view;
    PodcastDocument &m_document;
};
