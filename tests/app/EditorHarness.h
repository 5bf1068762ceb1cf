#pragma once

#include "app/EditorSettings.h"
#include "app/MainWindow.h"
#include "dialogs/EpisodeDialog.h"
#include "dialogs/FeedCheckDialog.h"
#include "dialogs/LargerTextDialog.h"
#include "dialogs/MoreTagsDialog.h"
#include "model/PodcastDocument.h"

#include "support/RecordingDesktopShell.h"
#include "support/RecordingErrorReporter.h"
#include "support/ScriptedFileDialogs.h"
#include "support/ScriptedMessageService.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimeZone>
#include <functional>
#include <memory>

// Settings (window size, recent files) go to a folder of this test process,
// never the user's: CTest runs a test's offscreen and xcb runs side by side,
// and with one file between them a run read the size the other had just
// written. Set as the application starts, so that a window made without the
// harness is covered too.
inline void isolateEditorSettings() {
    QStandardPaths::setTestModeEnabled(true);
    static const QTemporaryDir folder;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
}
Q_COREAPP_STARTUP_FUNCTION(isolateEditorSettings)

// The main window with scripted boxes, file dialogs and shell, an application
// folder of its own (empty unless a test puts files there) and a hook that
// plays the user's part in the episode dialog.
class EditorHarness {
public:
    // Runs after the folder exists and before the window starts up.
    using Prepare = std::function<void(const QString &folder)>;

    explicit EditorHarness(const Prepare &prepare = {}, bool realEpisodeDialog = false) {
        // Each window starts as on a first run, unless a test wants to see
        // what the one before it left.
        if (!keepSettings) {
            QSettings settings = EditorSettings::open();
            settings.remove(QStringLiteral("window"));
            settings.remove(QStringLiteral("list"));
        }
        if (prepare)
            prepare(folder.path());
        MainWindowServices services{
            messages, errors, dialogs, shell,
            [] { return QDateTime(QDate(2024, 3, 5), QTime(9, 30), QTimeZone::utc()); }};
        services.applicationFolder = folder.path();
        if (!realEpisodeDialog) {
            services.showEpisodeDialog = [this](EpisodeDialog &dialog) {
                ++dialogsShown;
                lastDialogCaption = dialog.windowTitle();
                lastDialogFields.clear();
                for (int column = 0; column < EpisodeColumn::Count; ++column)
                    lastDialogFields.append(dialog.field(column));
                dialog.show();
                if (onEpisodeDialog)
                    onEpisodeDialog(dialog);
                if (dialog.isVisible())
                    dialog.cancelButton()->click();
            };
        }
        services.showFeedCheckDialog = [this](FeedCheckDialog &dialog) {
            ++checksShown;
            dialog.show();
            if (onFeedCheckDialog)
                onFeedCheckDialog(dialog);
            if (dialog.isVisible())
                dialog.reject();
        };
        services.showMoreTagsDialog = [this](MoreTagsDialog &dialog) {
            ++moreTagsShown;
            dialog.show();
            if (onMoreTagsDialog)
                onMoreTagsDialog(dialog);
            if (dialog.isVisible())
                dialog.reject();
            return dialog.result();
        };
        services.editLargerText = [this](LargerTextDialog &dialog) {
            dialog.show();
            if (onLargerText)
                onLargerText(dialog);
            if (dialog.isVisible())
                dialog.reject();
            return dialog.result();
        };
        window = std::make_unique<MainWindow>(std::move(services));
        tester = std::make_unique<QAbstractItemModelTester>(
            &window->document(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }

    PodcastDocument &document() const { return window->document(); }

    void addEpisodes(const QStringList &titles) {
        QList<Episode> episodes;
        for (const QString &title : titles) {
            Episode episode;
            episode[EpisodeColumn::Title] = title;
            episode[EpisodeColumn::Author] = title + QStringLiteral(" author");
            episodes.append(episode);
        }
        document().appendEpisodes(episodes);
    }

    QStringList titles() const {
        QStringList result;
        for (const Episode &episode : document().episodes())
            result.append(episode[EpisodeColumn::Title]);
        return result;
    }

    QString filePath(const QString &name) const { return output.filePath(name); }

    QTemporaryDir folder;
    QTemporaryDir output;
    ScriptedMessageService messages;
    RecordingErrorReporter errors;
    ScriptedFileDialogs dialogs;
    RecordingDesktopShell shell;
    std::function<void(EpisodeDialog &)> onEpisodeDialog;
    int dialogsShown = 0;
    std::function<void(FeedCheckDialog &)> onFeedCheckDialog;
    int checksShown = 0;
    // Plays the user's part in More Tags; a dialog left open is cancelled.
    std::function<void(MoreTagsDialog &)> onMoreTagsDialog;
    int moreTagsShown = 0;
    // Plays the user's part in "Edit in a Larger Box…".
    std::function<void(LargerTextDialog &)> onLargerText;
    static inline bool keepSettings = false;
    QString lastDialogCaption;
    QStringList lastDialogFields;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<QAbstractItemModelTester> tester;
};
