#pragma once

#include <QStringList>

// brindlewood-feed publish FEED --to TARGET --public-url URL [options]:
// the arguments after "publish". Returns the exit status.
int publishCommand(const QStringList &arguments);
