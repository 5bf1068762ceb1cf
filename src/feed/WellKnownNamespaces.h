#pragma once

#include <QList>
#include <QString>
#include <utility>

// The prefixes podcast feeds use so widely that kept content may use them
// without declaring them: the editor declares them on the root element as
// soon as a block needs one.
namespace WellKnownNamespaces {
using Namespaces = QList<std::pair<QString, QString>>;

inline const QString Itunes = QStringLiteral("http://www.itunes.com/dtds/podcast-1.0.dtd");
inline const QString PodcastIndex = QStringLiteral("https://podcastindex.org/namespace/1.0");
inline const QString Atom = QStringLiteral("http://www.w3.org/2005/Atom");

// itunes, podcast, atom, content, googleplay, media, psc, spotify, dc and sy.
const Namespaces &all();
// The document's own bindings, after the well-known ones whose prefix the
// document does not bind itself: the file's declarations win.
Namespaces declaredWith(const Namespaces &document);
} // namespace WellKnownNamespaces
