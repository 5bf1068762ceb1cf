#include "EpisodeBoxHelp.h"

#include "feed/KeptContent.h"

#include "EpisodeDialog.h"
#include "feed/FileDialogService.h"
#include "feed/MediaEpisode.h"
#include "feed/MessageService.h"
#include "model/PodcastDocument.h"

#include <QAction>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QUuid>

namespace {
namespace E = EpisodeColumn;

bool isEnclosureBox(int column) {
    return column == E::Url || column == E::Type || column == E::Length || column == E::Duration;
}
} // namespace

EpisodeBoxHelp::EpisodeBoxHelp(EpisodeDialog &dialog, const PodcastDocument &document,
                               MessageService &messages, QAction &moreTags)
    : QObject(&dialog)
    , m_dialog(dialog)
    , m_document(document)
    , m_messages(messages)
    , m_moreTags(moreTags) {
    for (int column = 0; column < E::Count; ++column) {
        QLineEdit *box = m_dialog.box(column);
        box->setToolTip(tooltip(column));
        box->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(box, &QLineEdit::customContextMenuRequested, this,
                [this, column](const QPoint &at) {
                    QMenu *menu = contextMenu(column);
                    menu->setAttribute(Qt::WA_DeleteOnClose);
                    menu->popup(m_dialog.box(column)->mapToGlobal(at));
                });
    }
}

QString EpisodeBoxHelp::tooltip(int column) {
    QString form;
    switch (column) {
    case E::Title:
        form = QStringLiteral("The episode's title. Write & as &amp; and < as &lt;.");
        break;
    case E::Author:
        form = QStringLiteral("Who made or presents the episode.");
        break;
    case E::Subtitle:
        form = QStringLiteral("One short line under the title.");
        break;
    case E::Summary:
        form = QStringLiteral("What the episode is about, as plain text.");
        break;
    case E::Url:
        form = QStringLiteral("The full address of the audio or video file, from https:// on.\n"
                              "Right-click: From Media File… fills URL, Type, Length and "
                              "Duration.");
        break;
    case E::Type:
        form = QStringLiteral("The file's MIME type: audio/mpeg, audio/x-m4a, video/mp4 …");
        break;
    case E::Length:
        form = QStringLiteral("The file's size in bytes, digits only: 28734512.");
        break;
    case E::Guid:
        form = QStringLiteral("A text that names this episode for good and no other: never "
                              "change it once published.\nRight-click: New GUID.");
        break;
    case E::PubDate:
        form = QStringLiteral("An RFC 2822 date with English names: Mon, 05 Feb 2024 06:00:00 "
                              "+0000.\nRight-click: Now.");
        break;
    case E::Duration:
        form = QStringLiteral("Seconds (1795) or HH:MM:SS (00:29:55).");
        break;
    case E::Keywords:
        form = QStringLiteral("Words separated by commas.");
        break;
    case E::Explicit:
        form = QStringLiteral("true or false.");
        break;
    case E::Category:
        form = QStringLiteral("A category name, such as Leisure.");
        break;
    default:
        break;
    }
    return form + QStringLiteral("\nTags without a box: right-click, More Tags… (Ctrl+T).");
}

QMenu *EpisodeBoxHelp::contextMenu(int column) {
    QLineEdit *box = m_dialog.box(column);
    QMenu *menu = box->createStandardContextMenu();
    QAction *first = menu->actions().value(0);
    QList<QAction *> own;
    if (column == E::PubDate)
        own.append(new QAction(nowText(), menu));
    if (column == E::Guid)
        own.append(new QAction(newGuidText(), menu));
    if (isEnclosureBox(column))
        own.append(new QAction(fromMediaText(), menu));
    for (QAction *action : own) {
        menu->insertAction(first, action);
        connect(action, &QAction::triggered, this, [this, text = action->text()] {
            if (text == nowText())
                fillNow();
            else if (text == newGuidText())
                fillNewGuid();
            else
                fillFromMediaFile();
        });
    }
    if (!own.isEmpty())
        menu->insertSeparator(first);
    menu->addSeparator();
    // Entries the box carries itself ("Edit in a Larger Box…").
    menu->addActions(box->actions());
    menu->addAction(&m_moreTags);
    return menu;
}

// Through the box's own editing, so Ctrl+Z in the box takes it back.
void EpisodeBoxHelp::put(int column, const QString &text) {
    QLineEdit *box = m_dialog.box(column);
    box->selectAll();
    box->insert(text);
    box->setCursorPosition(0);
}

void EpisodeBoxHelp::fillNow() {
    put(E::PubDate, BuildDate::text(m_clock()));
}

void EpisodeBoxHelp::fillNewGuid() {
    put(E::Guid, KeptContent::newGuid());
    m_dialog.markGuidNotPermaLink();
}

void EpisodeBoxHelp::fillFromMediaFile() {
    if (!m_fileDialogs)
        return;
    FileDialogService::Settings settings;
    settings.title = QStringLiteral("Choose the Episode's Media File");
    settings.filter = QStringLiteral(
        "Audio and video (*.mp3 *.m4a *.m4b *.aac *.ogg *.oga *.opus *.flac *.wav *.mp4 *.m4v "
        "*.mov)|*.mp3;*.m4a;*.m4b;*.aac;*.ogg;*.oga;*.opus;*.flac;*.wav;*.mp4;*.m4v;*.mov|"
        "All files (*.*)|*.*");
    const QString path = m_fileDialogs->openFileName(settings);
    if (path.isEmpty())
        return;
    const QString name = QFileInfo(path).fileName();

    // The address keeps the folder of what the URL box holds, or else of
    // the last episode's, as a drop on the list would.
    Episode previous;
    previous[E::Url] = m_dialog.field(E::Url);
    if (previous[E::Url].isEmpty() && m_document.episodeCount() > 0)
        previous[E::Url] = m_document.episode(m_document.episodeCount())[E::Url];
    // Read once: what the file is and what it holds come from one look.
    const MediaEpisode made = MediaEpisode::fromFile(path, &previous, m_clock());
    if (made.notAudioOrVideo) {
        m_messages.notice(QStringLiteral("\"%1\" is not an audio or video file.").arg(name),
                          made.error);
        return;
    }
    if (!made.isValid()) {
        m_messages.notice(QStringLiteral("\"%1\" could not be read.").arg(name), made.error);
        return;
    }
    if (!made.episode[E::Url].isEmpty())
        put(E::Url, made.episode[E::Url]);
    put(E::Type, made.episode[E::Type]);
    put(E::Length, made.episode[E::Length]);
    put(E::Duration, made.episode[E::Duration]);
    if (!made.durationRead)
        m_messages.notice(
            QStringLiteral("The duration of \"%1\" could not be read; Duration is empty.")
                .arg(name));
}
