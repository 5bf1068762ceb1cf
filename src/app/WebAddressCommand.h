#pragma once

#include "MainWindowServices.h"
#include "publish/FeedDownload.h"

#include <QObject>
#include <functional>
#include <optional>

class DocumentUndoStack;
class FeedFileCommands;
class PodcastDocument;
class QWidget;

// File ▸ Open Web Address…: fetches a feed over http(s) off the GUI thread
// and opens it as Open does, as a document of no file yet, so that Save asks
// where to keep it. How a podcaster moving hosts starts.
class WebAddressCommand : public QObject {
    Q_OBJECT

public:
    WebAddressCommand(QWidget &window, PodcastDocument &document, DocumentUndoStack &undoStack,
                      FeedFileCommands &files, MainWindowServices &services);

    // Tests: the address the user types (nothing: cancelled), and the fetch.
    void setAskAddress(std::function<std::optional<QString>()> ask) { m_ask = std::move(ask); }
    void setFetch(std::function<FeedDownload::Result(const QString &)> fetch) {
        m_fetch = std::move(fetch);
    }

    void open();
    // False (and nothing changed) when the feed cannot be fetched or read.
    bool openAddress(const QString &url);

private:
    FeedDownload::Result download(const QString &url);

    QWidget &m_window;
    PodcastDocument &m_document;
    DocumentUndoStack &m_undoStack;
    FeedFileCommands &m_files;
    MainWindowServices &m_services;
    std::function<std::optional<QString>()> m_ask;
    std::function<FeedDownload::Result(const QString &)> m_fetch;
};
