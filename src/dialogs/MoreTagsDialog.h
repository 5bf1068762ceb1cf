#pragma once

#include "feed/TagTemplates.h"
#include "feed/WellKnownNamespaces.h"

#include <QByteArray>
#include <QDialog>
#include <functional>

class LineNumberedEdit;
class MessageService;
class QDialogButtonBox;
class QMenu;
class QToolButton;

// "More Tags": the kept content of the podcast or of one episode as XML
// text, with an Insert menu of the tags directories ask for. OK keeps the
// dialog open until the text is a well-formed fragment; the caller then takes
// block() and declares addedNamespaces().
class MoreTagsDialog : public QDialog {
    Q_OBJECT

public:
    enum class Scope { Podcast, Episode };

    MoreTagsDialog(Scope scope, const QByteArray &block,
                   const WellKnownNamespaces::Namespaces &documentNamespaces,
                   const TagTemplates::Context &context, MessageService &messages,
                   QWidget *parent = nullptr);
    ~MoreTagsDialog() override;

    static QString caption(Scope scope);

    QString text() const;
    void setText(const QString &text);
    // What OK found: the block to keep and the prefixes to declare for it.
    const QByteArray &block() const { return m_block; }
    const WellKnownNamespaces::Namespaces &addedNamespaces() const { return m_added; }

    const QList<TagTemplates::Template> &templates() const { return m_templates; }
    // Puts a template on a line of its own after the cursor's line. A tag
    // that may stand only once replaces the one the text has, once the user
    // agrees.
    void insertTemplate(qsizetype index);
    // The cursor on the first element named `tag`, or at the end without one.
    void placeCursorAtTag(const QString &tag);

    // Asks for the feed's address when podcast:guid needs one and the text
    // names none; empty means cancelled.
    void setFeedAddressPrompt(std::function<QString()> prompt) {
        m_askFeedAddress = std::move(prompt);
    }

    LineNumberedEdit *editor() const { return m_editor; }
    QToolButton *insertButton() const { return m_insert; }
    QMenu *insertMenu() const { return m_menu; }
    QDialogButtonBox *buttons() const { return m_buttons; }

    void accept() override;

private:
    QString templateText(qsizetype index);
    bool replaceSingleTag(const QString &tag, const QString &xml);

    Scope m_scope;
    WellKnownNamespaces::Namespaces m_documentNamespaces;
    TagTemplates::Context m_context;
    MessageService &m_messages;
    QList<TagTemplates::Template> m_templates;
    std::function<QString()> m_askFeedAddress;
    LineNumberedEdit *m_editor = nullptr;
    QToolButton *m_insert = nullptr;
    QMenu *m_menu = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
    QByteArray m_block;
    WellKnownNamespaces::Namespaces m_added;
};
