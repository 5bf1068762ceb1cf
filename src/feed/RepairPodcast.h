#pragma once

#include "xml/XmlRepair.h"

#include <QList>
#include <QString>

class ErrorReporter;
class MessageService;
class PodcastDocument;

// Opening a feed that is almost XML, only when asked: the refused file's
// bytes are mended by XmlRepair, with the well-known prefixes, and the mended
// text is read as a file's would be. The file on disk is never touched.
namespace RepairPodcast {
using Change = XmlRepair::Change;

// The file's bytes mended; not repaired when it cannot be read or mended.
XmlRepair::Result repairFile(const QString &path);

// After "Fail to load XML.": when the file can be mended, asks whether to
// open a repaired copy, listing the changes. Yes reads it into the document
// and marks it changed. False when nothing was read.
bool offer(const QString &path, PodcastDocument &document, MessageService &messages,
           ErrorReporter &errors);

// The question's detail: the first 50 changes, then how many more.
QString changeList(const QList<Change> &changes);

// For the command: reads the file as "Load Podcast.xml" does and, only when
// that refuses it, a repaired copy without asking. `changes` gets what was
// mended (nothing when the file needed no repair), `repairError` why it
// could not be mended. The strict load's messages and reports are kept only
// when no repaired copy was read.
struct Outcome {
    bool loaded = false;
    bool repaired = false;
    QList<Change> changes;
    QString repairError;
};
Outcome loadOrRepair(const QString &path, PodcastDocument &document, MessageService &messages,
                     ErrorReporter &errors);
} // namespace RepairPodcast
