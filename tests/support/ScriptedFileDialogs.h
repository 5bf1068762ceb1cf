#pragma once

#include "feed/FileDialogService.h"

#include <QList>
#include <QStringList>

// Returns scripted paths (empty text means "cancelled") and records the
// settings each dialog was opened with.
class ScriptedFileDialogs : public FileDialogService {
public:
    struct Opened {
        bool save;
        Settings settings;
    };

    QString saveFileName(const Settings &settings) override { return next(true, settings); }
    QString openFileName(const Settings &settings) override { return next(false, settings); }
    // The next scripted list (none: cancelled); recorded as an open dialog.
    QStringList openFileNames(const Settings &settings) override {
        opened.append({false, settings});
        return fileLists.isEmpty() ? QStringList() : fileLists.takeFirst();
    }

    QStringList paths;
    QList<QStringList> fileLists;
    QList<Opened> opened;

private:
    QString next(bool save, const Settings &settings) {
        opened.append({save, settings});
        return paths.isEmpty() ? QString() : paths.takeFirst();
    }
};
