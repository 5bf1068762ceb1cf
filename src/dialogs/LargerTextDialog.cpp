#include "LargerTextDialog.h"

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

LargerTextDialog::LargerTextDialog(const QString &caption, const QString &text, QWidget *parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("LargerTextDialog"));
    setWindowTitle(caption);
    m_editor = new QPlainTextEdit(this);
    m_editor->setObjectName(QStringLiteral("LargerTextEdit"));
    m_editor->setPlainText(text);
    // Tab moves on to the buttons: a feed's text has no use for tab stops.
    m_editor->setTabChangesFocus(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_editor);
    layout->addWidget(buttons);
    const QFontMetrics metrics(m_editor->font());
    resize(metrics.averageCharWidth() * 80, metrics.lineSpacing() * 20);
}

QString LargerTextDialog::text() const {
    return m_editor->toPlainText();
}
