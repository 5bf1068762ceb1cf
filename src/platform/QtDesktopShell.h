#pragma once

#include "DesktopShell.h"

// DesktopShell over QDesktopServices.
class QtDesktopShell : public DesktopShell {
public:
    bool openUrl(const QString &address) override;
};
