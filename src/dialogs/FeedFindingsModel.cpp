#include "FeedFindingsModel.h"

#include <QApplication>
#include <QStyle>

FeedFindingsModel::FeedFindingsModel(QList<FeedFinding> findings, QObject *parent)
    : QAbstractTableModel(parent)
    , m_findings(std::move(findings)) {}

int FeedFindingsModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_findings.size());
}

int FeedFindingsModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FeedFindingsModel::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const FeedFinding &finding = m_findings.at(index.row());
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case Severity:
            return finding.severity == FeedFinding::Severity::Error ? QStringLiteral("Error")
                                                                    : QStringLiteral("Warning");
        case Where:
            return finding.place.text();
        case Problem:
            // The rule's last finding shown stands for those left out.
            return finding.more > 0 ? finding.message + u" ("_qs + finding.moreText() + u")"_qs
                                    : finding.message;
        case Rule:
            return finding.rule;
        case Source:
            return finding.source;
        default:
            return {};
        }
    }
    if (role == Qt::ToolTipRole)
        return finding.message + u"\n"_qs + finding.source;
    if (role == Qt::DecorationRole && index.column() == Severity) {
        return QApplication::style()->standardIcon(finding.severity == FeedFinding::Severity::Error
                                                       ? QStyle::SP_MessageBoxCritical
                                                       : QStyle::SP_MessageBoxWarning);
    }
    return {};
}

QVariant FeedFindingsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Severity:
        return QStringLiteral("Severity");
    case Where:
        return QStringLiteral("Where");
    case Problem:
        return QStringLiteral("Problem");
    case Rule:
        return QStringLiteral("Rule");
    case Source:
        return QStringLiteral("Source");
    default:
        return {};
    }
}

void FeedFindingsModel::setFindings(QList<FeedFinding> findings) {
    beginResetModel();
    m_findings = std::move(findings);
    endResetModel();
}
