#include "FeedCheckDialog.h"

#include "FeedFindingsModel.h"
#include "feed/FeedCheck.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

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
    m_fix = buttons->addButton(QStringLiteral("&Fix"), QDialogButtonBox::ActionRole);
    m_fix->setObjectName(QStringLiteral("FeedCheckFix"));
    m_fixAll =
        buttons->addButton(QStringLiteral("Fix &All Like This"), QDialogButtonBox::ActionRole);
    m_fixAll->setObjectName(QStringLiteral("FeedCheckFixAll"));
    // Enter in the list goes to the finding; it must not also close or fix.
    for (QPushButton *button : {m_close, m_fix, m_fixAll}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_fix, &QPushButton::clicked, this, [this] { requestFix(false); });
    connect(m_fixAll, &QPushButton::clicked, this, [this] { requestFix(true); });
    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &FeedCheckDialog::updateFixButtons);

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
    updateFixButtons();
}

void FeedCheckDialog::setFixes(CanFix canFix, Describe describe) {
    m_canFix = std::move(canFix);
    m_describe = std::move(describe);
    updateFixButtons();
}

void FeedCheckDialog::setFindings(const QList<FeedFinding> &findings) {
    const int row = m_view->currentIndex().row();
    m_model->setFindings(findings);
    m_summary->setText(summaryText(findings));
    // The row that was fixed is gone: the next one takes its place.
    if (m_model->rowCount() > 0) {
        m_view->setCurrentIndex(m_model->index(std::clamp(row, 0, m_model->rowCount() - 1), 0));
        m_view->setFocus();
    } else {
        m_close->setFocus();
    }
    updateFixButtons();
}

void FeedCheckDialog::updateFixButtons() {
    const QModelIndex current = m_view->currentIndex();
    const bool fixable = current.isValid() && m_canFix && m_canFix(m_model->finding(current.row()));
    m_fix->setEnabled(fixable);
    m_fixAll->setEnabled(fixable);
    const QString what =
        fixable && m_describe ? m_describe(m_model->finding(current.row())) : QString();
    m_fix->setToolTip(what);
    m_fixAll->setToolTip(what.isEmpty() ? what
                                        : what + QStringLiteral(" Every finding of this rule."));
}

void FeedCheckDialog::requestFix(bool all) {
    const QModelIndex current = m_view->currentIndex();
    if (!current.isValid() || !m_fix->isEnabled())
        return;
    Q_EMIT fixRequested(m_model->finding(current.row()), all);
}

void FeedCheckDialog::choose(const QModelIndex &index) {
    if (!index.isValid())
        return;
    m_chosen = m_model->finding(index.row());
    accept();
}
