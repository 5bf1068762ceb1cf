#pragma once

#include <QString>
#include <QStringList>

// The open and save file dialogs. The filter is written as
// "Description (*.ext)|*.ext"; adapters translate it for their toolkit.
class FileDialogService {
public:
    struct Settings {
        QString fileName;
        QString title;
        QString filter;
    };

    virtual ~FileDialogService() = default;
    // The chosen path, or empty text when the user cancelled.
    virtual QString saveFileName(const Settings &settings) = 0;
    virtual QString openFileName(const Settings &settings) = 0;
    // Several files at once; empty when the user cancelled. Services that
    // can pick only one answer with that one.
    virtual QStringList openFileNames(const Settings &settings) {
        const QString path = openFileName(settings);
        return path.isEmpty() ? QStringList() : QStringList{path};
    }
};
