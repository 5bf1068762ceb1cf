#pragma once

#include "feed/BuildDate.h"

#include <QObject>
#include <QString>
#include <array>

class EpisodeDialog;
class FileDialogService;
class MessageService;
class PodcastDocument;
class QAction;
class QLineEdit;
class QMenu;

// What the episode dialog's boxes offer beyond typing: tooltips that give
// the form directories expect, and context menus that fill a box for the
// user: "Now", "New GUID", and "From Media File…" for the enclosure boxes.
// Every box's menu also leads to More Tags.
class EpisodeBoxHelp : public QObject {
    Q_OBJECT

public:
    EpisodeBoxHelp(EpisodeDialog &dialog, const PodcastDocument &document, MessageService &messages,
                   QAction &moreTags);

    static QString tooltip(int column);
    static QString nowText() { return QStringLiteral("Now"); }
    static QString newGuidText() { return QStringLiteral("New GUID"); }
    static QString fromMediaText() { return QStringLiteral("From Media File…"); }

    void setFileDialogs(FileDialogService &dialogs) { m_fileDialogs = &dialogs; }
    void setClock(BuildDate::Clock clock) { m_clock = std::move(clock); }

    // The box's own editing entries under what fits the box; the caller
    // owns the menu.
    QMenu *contextMenu(int column);

    void fillNow();
    void fillNewGuid();
    void fillFromMediaFile();

private:
    void put(int column, const QString &text);

    EpisodeDialog &m_dialog;
    const PodcastDocument &m_document;
    MessageService &m_messages;
    QAction &m_moreTags;
    FileDialogService *m_fileDialogs = nullptr;
    BuildDate::Clock m_clock = BuildDate::systemNow;
};
