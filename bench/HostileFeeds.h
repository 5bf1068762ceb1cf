#pragma once

#include <QByteArray>
#include <QStringList>

// Feeds hostile by their shape, as the hostile-input review measured them:
// many prefixes, many items, long CDATA sections. bench/hostile times the
// command on each; tests/hostile makes the same shapes at test sizes.
namespace HostileFeeds {
// The shape names, in the order bench/hostile measures them.
QStringList shapes();
// The feed of that shape; empty for an unknown name.
QByteArray bytes(const QString &shape);
} // namespace HostileFeeds
