#include "PublishProgressDialog.h"

#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// Bars count in thousandths: a byte count does not fit an int.
int permille(qint64 part, qint64 whole) {
    return whole <= 0 ? 1000 : int(std::clamp<qint64>(part * 1000 / whole, 0, 1000));
}

QString bytesText(qint64 bytes) {
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}
} // namespace

PublishProgressDialog::PublishProgressDialog(QWidget *parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("PublishProgressDialog"));
    setWindowTitle(QStringLiteral("Publishing"));
    m_status = new QLabel(QStringLiteral("Connecting…"), this);
    m_status->setObjectName(QStringLiteral("StatusLabel"));
    m_fileLabel = new QLabel(this);
    m_fileLabel->setObjectName(QStringLiteral("FileLabel"));
    m_fileBar = new QProgressBar(this);
    m_fileBar->setRange(0, 1000);
    m_fileBar->setValue(0);
    m_totalLabel = new QLabel(this);
    m_totalLabel->setObjectName(QStringLiteral("TotalLabel"));
    m_totalBar = new QProgressBar(this);
    m_totalBar->setRange(0, 1000);
    m_totalBar->setValue(0);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("CancelButton"));
    connect(m_cancel, &QPushButton::clicked, this, &PublishProgressDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_fileLabel);
    layout->addWidget(m_fileBar);
    layout->addWidget(m_totalLabel);
    layout->addWidget(m_totalBar);
    layout->addWidget(m_cancel, 0, Qt::AlignRight);
    setMinimumWidth(440);
    m_clock.start();
}

void PublishProgressDialog::setStatus(const QString &text) {
    if (!m_cancelRequested)
        m_status->setText(text);
}

void PublishProgressDialog::setProgress(const Publisher::Progress &progress) {
    setStatus(
        QStringLiteral("Sending file %1 of %2.").arg(progress.fileNumber).arg(progress.fileCount));
    m_fileLabel->setText(
        QStringLiteral("%1: %2 of %3")
            .arg(progress.file, bytesText(progress.fileSent), bytesText(progress.fileSize)));
    m_fileBar->setValue(permille(progress.fileSent, progress.fileSize));
    const double seconds = std::max(0.001, double(m_clock.elapsed()) / 1000);
    m_totalLabel->setText(QStringLiteral("All: %1 of %2, %3/s")
                              .arg(bytesText(progress.totalSent), bytesText(progress.totalSize),
                                   bytesText(qint64(double(progress.totalSent) / seconds))));
    m_totalBar->setValue(permille(progress.totalSent, progress.totalSize));
}

void PublishProgressDialog::finish() {
    m_finished = true;
    QDialog::reject();
}

void PublishProgressDialog::reject() {
    // The work decides when it has stopped; until then the dialog stays.
    if (m_finished) {
        QDialog::reject();
        return;
    }
    if (m_cancelRequested)
        return;
    m_cancelRequested = true;
    m_status->setText(QStringLiteral("Cancelling…"));
    m_cancel->setEnabled(false);
    Q_EMIT cancelled();
}
