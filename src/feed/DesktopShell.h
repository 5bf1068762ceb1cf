#pragma once

#include <QString>

// Hands a web address to the desktop's default handler (the browser).
class DesktopShell {
public:
    virtual ~DesktopShell() = default;
    // True when the desktop accepted the request; callers may ignore it.
    virtual bool openUrl(const QString &address) = 0;
};
