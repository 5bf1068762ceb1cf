#pragma once

#include "PublishChoices.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// File ▸ Publish…: the target, its public address, the media folder and the
// login. The boxes a target does not use are disabled as the address is
// typed. Accepting checks the addresses first and says what is wrong.
class PublishDialog : public QDialog {
    Q_OBJECT

public:
    explicit PublishDialog(QWidget *parent = nullptr);

    void setChoices(const PublishChoices &choices);
    PublishChoices choices() const;
    // Without a keyring, "Remember" is off and says that it will ask again.
    void setKeyringAvailable(bool available);
    // Called by "Test Connection" with the choices as they stand, once they
    // are valid.
    void setTestConnection(std::function<void(const PublishChoices &)> test) {
        m_test = std::move(test);
    }

    QLineEdit *targetBox() const { return m_target; }
    QLineEdit *publicUrlBox() const { return m_publicUrl; }
    QLineEdit *mediaFolderBox() const { return m_mediaFolder; }
    QLineEdit *identityBox() const { return m_identity; }
    QLineEdit *accessKeyBox() const { return m_accessKey; }
    QLineEdit *secretBox() const { return m_secret; }
    QCheckBox *rememberBox() const { return m_remember; }
    QCheckBox *verifyBox() const { return m_verify; }
    QPushButton *testButton() const { return m_testButton; }
    QPushButton *publishButton() const { return m_publishButton; }
    // Why the choices were not accepted; empty when they were.
    QString problem() const;

    void accept() override;

private:
    void updateFields();
    // The first thing that keeps the choices from being used, or nothing.
    QString validate() const;
    void browseMediaFolder();

    QLineEdit *m_target = nullptr;
    QLineEdit *m_publicUrl = nullptr;
    QLineEdit *m_mediaFolder = nullptr;
    QLineEdit *m_identity = nullptr;
    QLineEdit *m_endpoint = nullptr;
    QLineEdit *m_region = nullptr;
    QLineEdit *m_accessKey = nullptr;
    QLineEdit *m_caFile = nullptr;
    QLineEdit *m_secret = nullptr;
    QLabel *m_secretLabel = nullptr;
    QCheckBox *m_remember = nullptr;
    QCheckBox *m_verify = nullptr;
    QLabel *m_problem = nullptr;
    QPushButton *m_testButton = nullptr;
    QPushButton *m_publishButton = nullptr;
    bool m_keyringAvailable = true;
    std::function<void(const PublishChoices &)> m_test;
};
