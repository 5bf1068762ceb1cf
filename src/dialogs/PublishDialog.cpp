#include "PublishDialog.h"

#include "publish/PublishPlan.h"
#include "publish/PublishTarget.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QLineEdit *lineEdit(QWidget *parent, const char *name, const QString &placeholder = {}) {
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setPlaceholderText(placeholder);
    edit->setMinimumWidth(360);
    return edit;
}
} // namespace

PublishDialog::PublishDialog(QWidget *parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("PublishDialog"));
    setWindowTitle(QStringLiteral("Publish"));

    m_target = lineEdit(this, "TargetBox",
                        QStringLiteral("sftp://user@host/folder/, s3://bucket/prefix/ or "
                                       "ftps://user@host/folder/"));
    m_publicUrl = lineEdit(this, "PublicUrlBox", QStringLiteral("https://example.com/podcast/"));
    m_mediaFolder = lineEdit(this, "MediaFolderBox", QStringLiteral("The feed's own folder"));
    auto *browse = new QPushButton(QStringLiteral("&Browse…"), this);
    browse->setObjectName(QStringLiteral("BrowseMediaButton"));
    connect(browse, &QPushButton::clicked, this, &PublishDialog::browseMediaFolder);
    auto *mediaRow = new QHBoxLayout;
    mediaRow->addWidget(m_mediaFolder);
    mediaRow->addWidget(browse);
    m_identity = lineEdit(this, "IdentityBox", QStringLiteral("ssh-agent, then ~/.ssh/id_*"));
    m_endpoint = lineEdit(this, "EndpointBox", QStringLiteral("Amazon S3"));
    m_region = lineEdit(this, "RegionBox", QStringLiteral("us-east-1"));
    m_accessKey = lineEdit(this, "AccessKeyBox");
    m_caFile = lineEdit(this, "CaFileBox", QStringLiteral("The system's certificates"));
    m_secret = lineEdit(this, "SecretBox");
    m_secret->setEchoMode(QLineEdit::Password);
    m_secretLabel = new QLabel(QStringLiteral("Pass&word:"), this);
    m_secretLabel->setBuddy(m_secret);
    m_remember = new QCheckBox(QStringLiteral("&Remember it in the keyring"), this);
    m_remember->setObjectName(QStringLiteral("RememberBox"));
    m_verify =
        new QCheckBox(QStringLiteral("&Verify the feed and new media online afterwards"), this);
    m_verify->setObjectName(QStringLiteral("VerifyBox"));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Target:"), m_target);
    form->addRow(QStringLiteral("Public &address:"), m_publicUrl);
    auto *mediaLabel = new QLabel(QStringLiteral("&Media folder:"), this);
    mediaLabel->setBuddy(m_mediaFolder);
    form->addRow(mediaLabel, mediaRow);
    form->addRow(QStringLiteral("SSH ke&y file:"), m_identity);
    form->addRow(QStringLiteral("S3 &endpoint:"), m_endpoint);
    form->addRow(QStringLiteral("S3 re&gion:"), m_region);
    form->addRow(QStringLiteral("S3 access &key ID:"), m_accessKey);
    form->addRow(QStringLiteral("CA certi&ficates:"), m_caFile);
    form->addRow(m_secretLabel, m_secret);
    form->addRow(QString(), m_remember);
    form->addRow(QString(), m_verify);

    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("ProblemLabel"));
    m_problem->setWordWrap(true);
    m_problem->hide();

    auto *buttons = new QDialogButtonBox(this);
    m_testButton =
        buttons->addButton(QStringLiteral("Test &Connection"), QDialogButtonBox::ActionRole);
    m_testButton->setObjectName(QStringLiteral("TestConnectionButton"));
    m_publishButton = buttons->addButton(QStringLiteral("&Publish"), QDialogButtonBox::AcceptRole);
    m_publishButton->setObjectName(QStringLiteral("PublishButton"));
    m_publishButton->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &PublishDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PublishDialog::reject);
    connect(m_testButton, &QPushButton::clicked, this, [this] {
        const QString problem = validate();
        m_problem->setText(problem);
        m_problem->setVisible(!problem.isEmpty());
        if (problem.isEmpty() && m_test)
            m_test(choices());
    });
    connect(m_target, &QLineEdit::textChanged, this, &PublishDialog::updateFields);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
    updateFields();
}

void PublishDialog::setChoices(const PublishChoices &choices) {
    m_target->setText(choices.target);
    m_publicUrl->setText(choices.publicUrl);
    m_mediaFolder->setText(QDir::toNativeSeparators(choices.mediaFolder));
    m_identity->setText(QDir::toNativeSeparators(choices.identityFile));
    m_endpoint->setText(choices.endpoint);
    m_region->setText(choices.region);
    m_accessKey->setText(choices.accessKeyId);
    m_caFile->setText(QDir::toNativeSeparators(choices.caFile));
    m_secret->setText(choices.secret);
    m_remember->setChecked(choices.rememberSecret && m_keyringAvailable);
    m_verify->setChecked(choices.verify);
    updateFields();
}

PublishChoices PublishDialog::choices() const {
    PublishChoices choices;
    choices.target = m_target->text().trimmed();
    choices.publicUrl = m_publicUrl->text().trimmed();
    choices.mediaFolder = QDir::fromNativeSeparators(m_mediaFolder->text().trimmed());
    choices.verify = m_verify->isChecked();
    const auto used = [](const QLineEdit *box) {
        return box->isEnabled() ? box->text().trimmed() : QString();
    };
    choices.identityFile = QDir::fromNativeSeparators(used(m_identity));
    choices.endpoint = used(m_endpoint);
    choices.region = used(m_region);
    choices.accessKeyId = used(m_accessKey);
    choices.caFile = QDir::fromNativeSeparators(used(m_caFile));
    // A password may begin or end with a space.
    choices.secret = m_secret->isEnabled() ? m_secret->text() : QString();
    choices.rememberSecret = m_remember->isEnabled() && m_remember->isChecked();
    return choices;
}

void PublishDialog::setKeyringAvailable(bool available) {
    m_keyringAvailable = available;
    m_remember->setText(available ? QStringLiteral("&Remember it in the keyring")
                                  : QStringLiteral("No keyring is available: it is asked for "
                                                   "each time"));
    m_secret->setPlaceholderText(available ? QStringLiteral("Empty: the one kept in the keyring")
                                           : QStringLiteral("Empty: asked for when publishing"));
    if (!available)
        m_remember->setChecked(false);
    updateFields();
}

void PublishDialog::updateFields() {
    QString ignored;
    const PublishTarget target = PublishTarget::parse(m_target->text().trimmed(), &ignored);
    const bool sftp = target.kind == PublishTarget::Kind::Sftp;
    const bool s3 = target.kind == PublishTarget::Kind::S3;
    const bool ftp =
        target.kind == PublishTarget::Kind::Ftps || target.kind == PublishTarget::Kind::Ftp;
    m_identity->setEnabled(sftp);
    m_endpoint->setEnabled(s3);
    m_region->setEnabled(s3);
    m_accessKey->setEnabled(s3);
    m_caFile->setEnabled(s3 || ftp);
    m_secret->setEnabled(s3 || ftp);
    m_secretLabel->setEnabled(s3 || ftp);
    m_secretLabel->setText(s3 ? QStringLiteral("S3 secret key:") : QStringLiteral("Pass&word:"));
    m_remember->setEnabled((s3 || ftp) && m_keyringAvailable);
}

QString PublishDialog::validate() const {
    QString error;
    if (m_target->text().trimmed().isEmpty())
        return QStringLiteral("Enter the target: where the feed is uploaded.");
    if (!PublishTarget::parse(m_target->text().trimmed(), &error).isValid())
        return QStringLiteral("The target is not valid: %1").arg(error);
    if (m_publicUrl->text().trimmed().isEmpty())
        return QStringLiteral("Enter the public address: where listeners find the target "
                              "folder on the web.");
    if (PublishPlan::normalisedPublicUrl(m_publicUrl->text().trimmed(), &error).isEmpty())
        return QStringLiteral("The public address is not valid: %1").arg(error);
    const QString media = m_mediaFolder->text().trimmed();
    if (!media.isEmpty() && !QFileInfo(media).isDir())
        return QStringLiteral("The media folder \"%1\" is not a folder.").arg(media);
    if (m_identity->isEnabled() && !m_identity->text().trimmed().isEmpty() &&
        !QFileInfo(m_identity->text().trimmed()).isFile())
        return QStringLiteral("The SSH key file \"%1\" does not exist.")
            .arg(m_identity->text().trimmed());
    if (m_accessKey->isEnabled() && m_accessKey->text().trimmed().isEmpty())
        return QStringLiteral("Enter the S3 access key ID.");
    return {};
}

QString PublishDialog::problem() const {
    return m_problem->text();
}

void PublishDialog::accept() {
    const QString problem = validate();
    m_problem->setText(problem);
    m_problem->setVisible(!problem.isEmpty());
    if (problem.isEmpty())
        QDialog::accept();
}

void PublishDialog::browseMediaFolder() {
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Media Folder"),
                                                             m_mediaFolder->text().trimmed());
    if (!folder.isEmpty())
        m_mediaFolder->setText(QDir::toNativeSeparators(folder));
}
