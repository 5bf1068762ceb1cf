#pragma once

#include "feed/FeedFinding.h"

#include <QAbstractTableModel>
#include <QList>

// The findings of one feed check as a table: severity, where, problem, rule
// and source, one finding a row.
class FeedFindingsModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Severity, Where, Problem, Rule, Source, ColumnCount };

    explicit FeedFindingsModel(QList<FeedFinding> findings, QObject *parent = nullptr);

    const QList<FeedFinding> &findings() const { return m_findings; }
    const FeedFinding &finding(int row) const { return m_findings.at(row); }
    // The findings of a new check, after a fix.
    void setFindings(QList<FeedFinding> findings);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QList<FeedFinding> m_findings;
};
