#include "MoreTagsDialog.h"

#include "LineNumberedEdit.h"
#include "feed/MessageService.h"
#include "feed/MoreTagsText.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBlock>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
QString explanation(MoreTagsDialog::Scope scope) {
    const QString whose = scope == MoreTagsDialog::Scope::Podcast
                              ? QStringLiteral("The podcast's tags")
                              : QStringLiteral("This episode's tags");
    return whose +
           QStringLiteral(" that the form has no box for, written into the feed as they stand "
                          "here. The prefixes itunes, podcast, atom, content, googleplay, media "
                          "and psc need no declaration; any other prefix needs its own xmlns.");
}
} // namespace

MoreTagsDialog::MoreTagsDialog(Scope scope, const QByteArray &block,
                               const WellKnownNamespaces::Namespaces &documentNamespaces,
                               const TagTemplates::Context &context, MessageService &messages,
                               QWidget *parent)
    : QDialog(parent)
    , m_scope(scope)
    , m_documentNamespaces(documentNamespaces)
    , m_context(context)
    , m_messages(messages)
    , m_templates(scope == Scope::Podcast ? TagTemplates::podcast(context)
                                          : TagTemplates::episode(context)) {
    setObjectName(QStringLiteral("MoreTagsDialog"));
    setWindowTitle(caption(scope));
    setWindowIcon(QApplication::windowIcon());
    setModal(true);

    auto *note = new QLabel(explanation(scope), this);
    note->setWordWrap(true);

    m_editor = new LineNumberedEdit(this);
    m_editor->setObjectName(QStringLiteral("tagsText"));
    m_editor->setPlainText(MoreTagsText::fromBlock(block));

    m_menu = new QMenu(this);
    for (qsizetype i = 0; i < m_templates.size(); ++i)
        m_menu->addAction(m_templates[i].menuText, this, [this, i] { insertTemplate(i); });
    m_insert = new QToolButton(this);
    m_insert->setObjectName(QStringLiteral("insertButton"));
    m_insert->setText(QStringLiteral("&Insert"));
    m_insert->setToolTip(QStringLiteral("Insert one of the tags directories ask for"));
    m_insert->setPopupMode(QToolButton::InstantPopup);
    m_insert->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_insert->setMenu(m_menu);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &MoreTagsDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &MoreTagsDialog::reject);

    auto *row = new QHBoxLayout;
    row->addWidget(m_insert);
    row->addStretch();
    row->addWidget(m_buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addWidget(m_editor, 1);
    layout->addLayout(row);
    resize(640, 420);

    m_askFeedAddress = [this] {
        return QInputDialog::getText(this, QStringLiteral("podcast:guid"),
                                     QStringLiteral("The feed's own address (where Podcast.xml "
                                                    "is published):"),
                                     QLineEdit::Normal, QStringLiteral("https://"))
            .trimmed();
    };
    m_editor->setFocus();
}

MoreTagsDialog::~MoreTagsDialog() = default;

QString MoreTagsDialog::caption(Scope scope) {
    return scope == Scope::Podcast ? QStringLiteral("More Tags: Podcast")
                                   : QStringLiteral("More Tags: Episode");
}

QString MoreTagsDialog::text() const {
    return m_editor->toPlainText();
}

void MoreTagsDialog::setText(const QString &text) {
    m_editor->setPlainText(text);
}

QString MoreTagsDialog::templateText(qsizetype index) {
    const TagTemplates::Template &chosen = m_templates.at(index);
    if (m_scope != Scope::Podcast || !chosen.menuText.startsWith(QStringLiteral("podcast:guid")))
        return chosen.xml;
    // The GUID is made from the feed's address; a guessed one would be wrong
    // for good.
    TagTemplates::Context context = m_context;
    context.feedAddress = TagTemplates::feedAddressIn(text());
    if (context.feedAddress.isEmpty())
        context.feedAddress = m_askFeedAddress ? m_askFeedAddress() : QString();
    if (context.feedAddress.isEmpty() || context.feedAddress == QStringLiteral("https://"))
        return QString();
    for (const TagTemplates::Template &candidate : TagTemplates::podcast(context)) {
        if (candidate.menuText == chosen.menuText)
            return candidate.xml;
    }
    return QString();
}

namespace {
// Where each element named `tag` stands in the text: start and length.
QList<std::pair<qsizetype, qsizetype>> elementsNamed(const QString &text, const QString &tag) {
    const QString name = QRegularExpression::escape(tag);
    const QRegularExpression element(
        QStringLiteral("<%1(?:\\s[^>]*)?(?:/>|>.*?</%1\\s*>)").arg(name),
        QRegularExpression::DotMatchesEverythingOption);
    QList<std::pair<qsizetype, qsizetype>> found;
    for (const QRegularExpressionMatch &match : element.globalMatch(text))
        found.append({match.capturedStart(), match.capturedLength()});
    return found;
}
} // namespace

void MoreTagsDialog::placeCursorAtTag(const QString &tag) {
    const QList<std::pair<qsizetype, qsizetype>> found = elementsNamed(text(), tag);
    QTextCursor cursor = m_editor->textCursor();
    if (found.isEmpty())
        cursor.movePosition(QTextCursor::End);
    else
        cursor.setPosition(int(found.first().first));
    m_editor->setTextCursor(cursor);
    m_editor->ensureCursorVisible();
    m_editor->setFocus();
}

bool MoreTagsDialog::replaceSingleTag(const QString &tag, const QString &xml) {
    const TagTemplates::Scope scope =
        m_scope == Scope::Podcast ? TagTemplates::Scope::Podcast : TagTemplates::Scope::Episode;
    if (!TagTemplates::singleTags(scope).contains(tag))
        return false;
    const QList<std::pair<qsizetype, qsizetype>> found = elementsNamed(text(), tag);
    if (found.isEmpty())
        return false;
    const auto answer = m_messages.question(
        QStringLiteral("The tags already hold %1, which may stand only once. Replace it with the "
                       "new one?")
            .arg(tag),
        caption(m_scope), MessageService::Buttons::YesNo, MessageService::Answer::Yes);
    if (answer != MessageService::Answer::Yes)
        return true; // nothing inserted: a second one would be wrong
    QTextCursor cursor = m_editor->textCursor();
    cursor.beginEditBlock();
    // From the last, so the earlier positions stay; the first takes the new
    // text and any further one goes with its line.
    for (qsizetype i = found.size() - 1; i >= 0; --i) {
        cursor.setPosition(int(found[i].first));
        cursor.setPosition(int(found[i].first + found[i].second), QTextCursor::KeepAnchor);
        if (i > 0) {
            cursor.removeSelectedText();
            const QTextBlock block = cursor.block();
            if (block.text().trimmed().isEmpty()) {
                // The line goes with its line break.
                const int start = block.position();
                const int end = start + block.length() - 1;
                if (block.blockNumber() > 0) {
                    cursor.setPosition(start - 1);
                    cursor.setPosition(end, QTextCursor::KeepAnchor);
                } else {
                    cursor.setPosition(start);
                    cursor.setPosition(
                        std::min(end + 1, m_editor->document()->characterCount() - 1),
                        QTextCursor::KeepAnchor);
                }
                cursor.removeSelectedText();
            }
        } else {
            cursor.insertText(xml);
        }
    }
    cursor.endEditBlock();
    cursor.setPosition(int(found.first().first));
    m_editor->setTextCursor(cursor);
    m_editor->ensureCursorVisible();
    m_editor->setFocus();
    return true;
}

void MoreTagsDialog::insertTemplate(qsizetype index) {
    const QString xml = templateText(index);
    if (xml.isEmpty())
        return;
    if (replaceSingleTag(TagTemplates::tagOf(xml), xml))
        return;
    QTextCursor cursor = m_editor->textCursor();
    cursor.beginEditBlock();
    cursor.clearSelection();
    cursor.movePosition(QTextCursor::EndOfBlock);
    if (!cursor.block().text().trimmed().isEmpty())
        cursor.insertText(QStringLiteral("\n"));
    cursor.insertText(xml);
    cursor.endEditBlock();
    m_editor->setTextCursor(cursor);
    m_editor->ensureCursorVisible();
    m_editor->setFocus();
}

void MoreTagsDialog::accept() {
    const MoreTagsText::Result result = MoreTagsText::check(text(), m_documentNamespaces);
    if (!result.isValid()) {
        m_messages.notice(QStringLiteral("The tags are not well-formed XML: line %1, column %2.")
                              .arg(result.line)
                              .arg(result.column),
                          result.error);
        m_editor->moveCursorTo(result.line, result.column);
        m_editor->setFocus();
        return;
    }
    m_block = result.block;
    m_added = result.added;
    QDialog::accept();
}
