#include "FeedCheckDialog.h"

#include "FeedFindingsModel.h"
#include "feed/FeedCheck.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {
QString count(qsizetype n, const char *one, const char *many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1StringView(n == 1 ? one : many));
}
} // namespace

QString FeedCheckDialog::caption() {
    return QStringLiteral("Check Feed");
}

QString FeedCheckDialog::summaryText(const QList<FeedFinding> &findings) {
    const qsizetype errors = FeedCheck::errorCount(findings);
    const qsizetype warnings = FeedCheck::totalCount(findings) - errors;
    if (findings.isEmpty())
        return QStringLiteral("No problems found: the directories should take this feed.");
    if (errors == 0)
        return count(warnings, "warning", "warnings") +
               QStringLiteral(": the directories take this feed, but look at them.");
    QString text = count(errors, "error", "errors");
    if (warnings > 0)
        text += QStringLiteral(" and ") + count(warnings, "warning", "warnings");
    return text + QStringLiteral(": the directories refuse this feed until the errors are fixed.");
}

FeedCheckDialog::FeedCheckDialog(const QList<FeedFinding> &findings, QWidget *parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("FeedCheckDialog"));
    setWindowTitle(caption());
    setModal(true);

    m_summary = new QLabel(summaryText(findings), this);
    m_summary->setObjectName(QStringLiteral("FeedCheckSummary"));
    m_summary->setWordWrap(true);

    m_model = new FeedFindingsModel(findings, this);
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("FeedCheckFindings"));
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->resizeColumnsToContents();
    m_view->setColumnWidth(FeedFindingsModel::Problem,
                           std::min(m_view->columnWidth(FeedFindingsModel::Problem), 420));
    m_view->setToolTip(QStringLiteral("Double-click a finding, or press Enter, to go to it."));
    connect(m_view, &QTableView::activated, this, &FeedCheckDialog::choose);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_close = buttons->button(QDialogButtonBox::Close);
    // Enter in the list goes to the finding; it must not also close.
    m_close->setAutoDefault(false);
    m_close->setDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_view);
    layout->addWidget(buttons);
    resize(900, 360);

    if (m_model->rowCount() > 0) {
        m_view->setCurrentIndex(m_model->index(0, 0));
        m_view->setFocus();
    } else {
        m_close->setFocus();
    }
}

void FeedCheckDialog::choose(const QModelIndex &index) {
    if (!index.isValid())
        return;
    m_chosen = m_model->finding(index.row());
    accept();
}
