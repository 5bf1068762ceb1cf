#include "dialogs/LineNumberedEdit.h"
#include "dialogs/MoreTagsDialog.h"

#include "support/ScriptedMessageService.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QToolButton>

using Scope = MoreTagsDialog::Scope;
Q_DECLARE_METATYPE(MoreTagsDialog::Scope)

class tst_MoreTagsDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void opening_showsHeldBlockOneNodeALine();
    void ok_wellFormed_acceptsWithBlockAndPrefixes();
    void ok_mistake_staysOpenNamesLineAndColumn_data();
    void ok_mistake_staysOpenNamesLineAndColumn();
    void insertMenu_everyTemplateInsertedPassesOk_data();
    void insertMenu_everyTemplateInsertedPassesOk();
    void insert_goesOnALineOfItsOwn();
    void insertGuid_takesSelfLinkFromText();
    void insertGuid_asksWithoutAddress_cancelInsertsNothing();
    void insert_singleTagReplacesAfterAsking_data();
    void insert_singleTagReplacesAfterAsking();
    void placeCursorAtTag_putsCursorOnTheTag();
    void cancel_keepsNothing();
    void editor_numbersLines();

private:
    ScriptedMessageService m_messages;
};

void tst_MoreTagsDialog::opening_showsHeldBlockOneNodeALine() {
    MoreTagsDialog dialog(
        Scope::Podcast,
        "<itunes:explicit>false</itunes:explicit>\n<itunes:type>serial</itunes:type>", {}, {},
        m_messages);
    QCOMPARE(dialog.windowTitle(), u"More Tags: Podcast"_qs);
    QCOMPARE(dialog.editor()->blockCount(), 2);
    QCOMPARE(dialog.editor()->document()->findBlockByNumber(1).text(),
             u"<itunes:type>serial</itunes:type>"_qs);
    QCOMPARE(MoreTagsDialog(Scope::Episode, {}, {}, {}, m_messages).windowTitle(),
             u"More Tags: Episode"_qs);
}

void tst_MoreTagsDialog::ok_wellFormed_acceptsWithBlockAndPrefixes() {
    MoreTagsDialog dialog(Scope::Podcast, {}, {{u"atom"_qs, u"http://www.w3.org/2005/Atom"_qs}}, {},
                          m_messages);
    dialog.setText(
        u"  <atom:link href=\"https://a.example/p.xml\" rel=\"self\"/>\n\n<podcast:locked>yes</podcast:locked>"_qs);
    dialog.buttons()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(m_messages.shown.isEmpty());
    QCOMPARE(dialog.block(), QByteArray("<atom:link href=\"https://a.example/p.xml\" "
                                        "rel=\"self\"/>\n<podcast:locked>yes</podcast:locked>"));
    QCOMPARE(dialog.addedNamespaces(),
             WellKnownNamespaces::Namespaces(
                 {{u"podcast"_qs, u"https://podcastindex.org/namespace/1.0"_qs}}));
}

void tst_MoreTagsDialog::ok_mistake_staysOpenNamesLineAndColumn_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("line");

    QTest::newRow("unclosed") << u"<itunes:type>serial</itunes:type>\n<itunes:explicit>false"_qs
                              << 2;
    QTest::newRow("own prefix undeclared") << u"<a/>\n<b/>\n<mine:tag/>"_qs << 3;
    QTest::newRow("loose text") << u"<a/>\nhello"_qs << 2;
}

// The dialog stays open with the text as typed, the message gives the
// position, and the cursor stands on the line at fault.
void tst_MoreTagsDialog::ok_mistake_staysOpenNamesLineAndColumn() {
    QFETCH(QString, text);
    QFETCH(int, line);

    m_messages.shown.clear();
    MoreTagsDialog dialog(Scope::Episode, {}, {}, {}, m_messages);
    dialog.show();
    dialog.setText(text);
    dialog.buttons()->button(QDialogButtonBox::Ok)->click();
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.text(), text);
    QCOMPARE(m_messages.shown.size(), 1);
    const QString shown = m_messages.shown.first().text;
    QVERIFY2(shown.startsWith(u"The tags are not well-formed XML: line %1, column "_qs.arg(line)),
             qPrintable(shown));
    QVERIFY(!m_messages.shown.first().detail.isEmpty());
    QCOMPARE(dialog.editor()->textCursor().blockNumber() + 1, line);
    QVERIFY(dialog.block().isEmpty());
}

void tst_MoreTagsDialog::insertMenu_everyTemplateInsertedPassesOk_data() {
    QTest::addColumn<Scope>("scope");
    QTest::addColumn<int>("index");
    TagTemplates::Context context;
    for (Scope scope : {Scope::Podcast, Scope::Episode}) {
        const auto templates = scope == Scope::Podcast ? TagTemplates::podcast(context)
                                                       : TagTemplates::episode(context);
        for (int i = 0; i < templates.size(); ++i)
            QTest::addRow("%s %s", scope == Scope::Podcast ? "podcast" : "episode",
                          qPrintable(templates[i].menuText))
                << scope << i;
    }
}

// Through the menu's own action, after what is already there.
void tst_MoreTagsDialog::insertMenu_everyTemplateInsertedPassesOk() {
    QFETCH(Scope, scope);
    QFETCH(int, index);

    m_messages.shown.clear();
    TagTemplates::Context context;
    context.websiteLink = u"https://show.example.org/"_qs;
    MoreTagsDialog dialog(scope, "<itunes:author>Someone</itunes:author>", {}, context, m_messages);
    dialog.setFeedAddressPrompt([] { return u"https://show.example.org/Podcast.xml"_qs; });
    const QList<QAction *> actions = dialog.insertMenu()->actions();
    QCOMPARE(actions.size(), dialog.templates().size());
    QCOMPARE(dialog.insertButton()->menu(), dialog.insertMenu());
    actions.at(index)->trigger();
    QVERIFY(dialog.text().startsWith(u"<itunes:author>Someone</itunes:author>\n<"_qs));
    dialog.buttons()->button(QDialogButtonBox::Ok)->click();
    QVERIFY2(m_messages.shown.isEmpty(), qPrintable(dialog.text()));
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void tst_MoreTagsDialog::insert_goesOnALineOfItsOwn() {
    MoreTagsDialog dialog(Scope::Podcast, "<a/>\n<b/>", {}, {}, m_messages);
    QTextCursor cursor(dialog.editor()->document()->findBlockByNumber(0));
    cursor.movePosition(QTextCursor::Right); // inside "<a/>"
    dialog.editor()->setTextCursor(cursor);
    dialog.insertTemplate(0);
    QCOMPARE(dialog.text(), u"<a/>\n<itunes:explicit>false</itunes:explicit>\n<b/>"_qs);
    // On an empty line it takes that line.
    dialog.setText(QString());
    dialog.insertTemplate(1);
    QCOMPARE(dialog.text(), u"<itunes:type>episodic</itunes:type>"_qs);
}

qsizetype indexOf(const MoreTagsDialog &dialog, const QString &menuText) {
    for (qsizetype i = 0; i < dialog.templates().size(); ++i) {
        if (dialog.templates()[i].menuText == menuText)
            return i;
    }
    return -1;
}

void tst_MoreTagsDialog::insertGuid_takesSelfLinkFromText() {
    MoreTagsDialog dialog(Scope::Podcast,
                          "<atom:link href=\"https://mp3s.nashownotes.com/pc20rss.xml\" "
                          "rel=\"self\" type=\"application/rss+xml\"/>",
                          {}, {}, m_messages);
    bool asked = false;
    dialog.setFeedAddressPrompt([&] {
        asked = true;
        return QString();
    });
    dialog.insertTemplate(indexOf(dialog, u"podcast:guid"_qs));
    QVERIFY(!asked);
    QVERIFY(dialog.text().endsWith(
        u"\n<podcast:guid>917393e3-1b1e-5cef-ace4-edaa54e1f810</podcast:guid>"_qs));
}

void tst_MoreTagsDialog::insertGuid_asksWithoutAddress_cancelInsertsNothing() {
    MoreTagsDialog dialog(Scope::Podcast, "<itunes:type>serial</itunes:type>", {}, {}, m_messages);
    int asked = 0;
    QString answer;
    dialog.setFeedAddressPrompt([&] {
        ++asked;
        return answer;
    });
    dialog.insertTemplate(indexOf(dialog, u"podcast:guid"_qs));
    QCOMPARE(asked, 1);
    QCOMPARE(dialog.text(), u"<itunes:type>serial</itunes:type>"_qs);

    answer = u"https://mp3s.nashownotes.com/pc20rss.xml"_qs;
    dialog.insertTemplate(indexOf(dialog, u"podcast:guid"_qs));
    QCOMPARE(asked, 2);
    QVERIFY(dialog.text().contains(u"917393e3-1b1e-5cef-ace4-edaa54e1f810"_qs));
}

void tst_MoreTagsDialog::cancel_keepsNothing() {
    m_messages.shown.clear();
    MoreTagsDialog dialog(Scope::Podcast, "<a/>", {}, {}, m_messages);
    dialog.setText(u"<broken"_qs);
    dialog.buttons()->button(QDialogButtonBox::Cancel)->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(m_messages.shown.isEmpty());
    QVERIFY(dialog.block().isEmpty());
}

void tst_MoreTagsDialog::editor_numbersLines() {
    LineNumberedEdit editor;
    editor.resize(300, 200);
    editor.show();
    const int narrow = editor.marginWidth();
    QVERIFY(narrow > 0);
    QCOMPARE(editor.margin()->width(), narrow);
    QStringList lines;
    for (int i = 0; i < 1200; ++i)
        lines.append(u"<a/>"_qs);
    editor.setPlainText(lines.join(u'\n'));
    QVERIFY(editor.marginWidth() > narrow); // four digits need more room than two
    editor.moveCursorTo(1000, 3);
    QCOMPARE(editor.textCursor().blockNumber(), 999);
    QCOMPARE(editor.textCursor().positionInBlock(), 2);
    editor.moveCursorTo(5, 99); // past the end of the line: its end
    QCOMPARE(editor.textCursor().positionInBlock(), 4);
}

void tst_MoreTagsDialog::insert_singleTagReplacesAfterAsking_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("menuText");
    QTest::addColumn<int>("answer"); // -1: no question expected
    QTest::addColumn<QString>("after");
    const QString type = u"<itunes:type>serial</itunes:type>"_qs;
    QTest::newRow("once-only tag, replaced")
        << type + u"\n<itunes:explicit>yes</itunes:explicit>"_qs << u"itunes:explicit"_qs
        << int(MessageService::Answer::Yes)
        << type + u"\n<itunes:explicit>false</itunes:explicit>"_qs;
    QTest::newRow("once-only tag, kept when the user says no")
        << type + u"\n<itunes:explicit>yes</itunes:explicit>"_qs << u"itunes:explicit"_qs
        << int(MessageService::Answer::No) << type + u"\n<itunes:explicit>yes</itunes:explicit>"_qs;
    QTest::newRow("two of a once-only tag become one")
        << u"<itunes:type>a</itunes:type>\n<itunes:explicit>true</itunes:explicit>\n"
           "<itunes:type>b</itunes:type>"_qs
        << u"itunes:type"_qs << int(MessageService::Answer::Yes)
        << u"<itunes:type>episodic</itunes:type>\n<itunes:explicit>true</itunes:explicit>"_qs;
    QTest::newRow("repeatable tag, added without asking")
        << u"<podcast:funding url=\"https://a.example/\">Support</podcast:funding>"_qs
        << u"podcast:funding"_qs << -1
        << u"<podcast:funding url=\"https://a.example/\">Support</podcast:funding>\n"
           "<podcast:funding url=\"https://example.com/support\">Support the show"
           "</podcast:funding>"_qs;
}

void tst_MoreTagsDialog::insert_singleTagReplacesAfterAsking() {
    QFETCH(QString, text);
    QFETCH(QString, menuText);
    QFETCH(int, answer);
    QFETCH(QString, after);
    m_messages.shown.clear();
    if (answer >= 0)
        m_messages.answers = {MessageService::Answer(answer)};
    MoreTagsDialog dialog(Scope::Podcast, {}, {}, {}, m_messages);
    dialog.setText(text);
    dialog.insertTemplate(indexOf(dialog, menuText));
    QCOMPARE(dialog.text(), after);
    QCOMPARE(m_messages.shown.size(), answer >= 0 ? 1 : 0);
    if (answer >= 0)
        QCOMPARE(m_messages.shown.first().text,
                 u"The tags already hold %1, which may stand only once. Replace it with the new "
                 "one?"_qs.arg(menuText));
    // One undo takes the whole insert back.
    dialog.editor()->undo();
    QCOMPARE(dialog.text(), text);
}

void tst_MoreTagsDialog::placeCursorAtTag_putsCursorOnTheTag() {
    MoreTagsDialog dialog(Scope::Podcast,
                          "<itunes:type>serial</itunes:type>\n<podcast:locked>yes</podcast:locked>"
                          "\n<itunes:explicit>no</itunes:explicit>",
                          {}, {}, m_messages);
    dialog.placeCursorAtTag(u"itunes:explicit"_qs);
    QCOMPARE(dialog.editor()->textCursor().blockNumber(), 2);
    QCOMPARE(dialog.editor()->textCursor().positionInBlock(), 0);
    // A tag the text lacks: at the end, where it would be added.
    dialog.placeCursorAtTag(u"itunes:complete"_qs);
    QVERIFY(dialog.editor()->textCursor().atEnd());
}

QTEST_MAIN(tst_MoreTagsDialog)
#include "tst_moretagsdialog.moc"
