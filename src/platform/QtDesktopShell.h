#pragma once

#include "feed/DesktopShell.h"

// DesktopShell over QDesktopServices.
class QtDesktopShell : public DesktopShell {
public:
    bool openUrl(const QString &address) override;
};
