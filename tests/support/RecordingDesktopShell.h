#pragma once

#include "feed/DesktopShell.h"

#include <QStringList>

// Records the addresses handed to the desktop instead of opening a browser.
class RecordingDesktopShell : public DesktopShell {
public:
    bool openUrl(const QString &address) override {
        opened.append(address);
        return !failing;
    }

    QStringList opened;
    bool failing = false; // the desktop refuses every address
};
