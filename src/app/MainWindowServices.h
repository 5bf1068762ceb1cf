#pragma once

#include "feed/BuildDate.h"

#include <QString>
#include <functional>

class DesktopShell;
class EpisodeDialog;
class FeedCheckDialog;
class LargerTextDialog;
class ErrorReporter;
class FileDialogService;
class MessageService;
class MoreTagsDialog;

// What the main window needs of the platform. The program hands in the real
// boxes, dialogs and shell; tests hand in scripted ones.
struct MainWindowServices {
    MessageService &messages;
    ErrorReporter &errors;
    FileDialogService &dialogs;
    DesktopShell &shell;
    BuildDate::Clock clock = BuildDate::systemNow;
    // Where the skin, the hand pointer and the sample are looked for; empty
    // means the program's own application folder.
    QString applicationFolder = QString();
    // Shows the episode dialog modally and returns when it has closed; empty
    // means QDialog::exec().
    std::function<void(EpisodeDialog &)> showEpisodeDialog = {};
    // The same for the list of a feed check.
    std::function<void(FeedCheckDialog &)> showFeedCheckDialog = {};
    // The same for More Tags; returns the dialog's result.
    std::function<int(MoreTagsDialog &)> showMoreTagsDialog = {};
    // The same for "Edit in a Larger Box…".
    std::function<int(LargerTextDialog &)> editLargerText = {};
};
