#include "RepairPodcast.h"

#include "ErrorReporter.h"
#include "LoadPodcast.h"
#include "Locations.h"
#include "MessageService.h"
#include "StepGuard.h"
#include "WellKnownNamespaces.h"
#include "model/PodcastDocument.h"

#include <QFile>
#include <QFileInfo>
#include <functional>
#include <new>

namespace {
constexpr qsizetype ListedChanges = 50;

// Holds what a strict attempt said until it is known whether it stands.
class HeldServices : public MessageService, public ErrorReporter {
public:
    void notice(const QString &text, const QString &detail) override {
        m_replay.append([text, detail](MessageService &messages, ErrorReporter &) {
            messages.notice(text, detail);
        });
    }
    Answer question(const QString &, const QString &, Buttons, Answer) override {
        return Answer::No; // a load asks nothing
    }
    void reportFailure(const QString &location, int step, const QString &description) override {
        m_replay.append([location, step, description](MessageService &, ErrorReporter &errors) {
            errors.reportFailure(location, step, description);
        });
    }
    void replay(MessageService &messages, ErrorReporter &errors) const {
        for (const auto &shown : m_replay)
            shown(messages, errors);
    }

private:
    QList<std::function<void(MessageService &, ErrorReporter &)>> m_replay;
};

bool loadRepaired(const QByteArray &text, PodcastDocument &document, MessageService &messages,
                  ErrorReporter &errors) {
    StepGuard guard(errors, Locations::form1("PushButton7_Click"));
    return loadPodcastText(text, document, LoadCommand::LoadFile, guard, messages);
}
} // namespace

namespace RepairPodcast {
XmlRepair::Result repairFile(const QString &path) {
    XmlRepair::Result result;
    // Only a regular file: a FIFO would block and a device never ends.
    const QFileInfo info(path);
    if (!info.isFile()) {
        result.error = QStringLiteral("%1 is not a regular file.").arg(path);
        return result;
    }
    // The repair holds the file and its mended copy in memory; a feed is a
    // few megabytes, and a file a hundred times that is not one to mend.
    constexpr qint64 Largest = qint64(100) << 20;
    if (info.size() > Largest) {
        result.error = QStringLiteral("The file is larger than 100 MB.");
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
    try {
        return XmlRepair::repair(file.readAll(), WellKnownNamespaces::all());
    } catch (const std::bad_alloc &) {
        result.error = QStringLiteral("Out of memory");
        return result;
    }
}

bool offer(const QString &path, PodcastDocument &document, MessageService &messages,
           ErrorReporter &errors) {
    const XmlRepair::Result repair = repairFile(path);
    if (!repair.repaired || repair.changes.isEmpty())
        return false;
    const qsizetype count = repair.changes.size();
    const QString text =
        count == 1 ? QStringLiteral("This file is not well-formed XML, but it can be repaired: "
                                    "1 change. Open a repaired copy?")
                   : QStringLiteral("This file is not well-formed XML, but it can be repaired: "
                                    "%1 changes. Open a repaired copy?")
                         .arg(count);
    if (messages.questionWithDetail(text, changeList(repair.changes),
                                    MessageService::Buttons::YesNo,
                                    MessageService::Answer::Yes) != MessageService::Answer::Yes)
        return false;
    if (!loadRepaired(repair.text, document, messages, errors))
        return false;
    // The text read is not the file's: closing must offer to save it.
    document.setDocumentChanged(true);
    return true;
}

QString changeList(const QList<Change> &changes) {
    QStringList lines;
    for (qsizetype i = 0; i < changes.size() && i < ListedChanges; ++i)
        lines.append(XmlRepair::describe(changes[i]));
    const qsizetype more = changes.size() - ListedChanges;
    if (more == 1)
        lines.append(QStringLiteral("and 1 more change."));
    else if (more > 1)
        lines.append(QStringLiteral("and %1 more changes.").arg(more));
    return lines.join(u'\n');
}

Outcome loadOrRepair(const QString &path, PodcastDocument &document, MessageService &messages,
                     ErrorReporter &errors) {
    Outcome outcome;
    HeldServices strict;
    outcome.loaded = loadPodcastFile(path, document, strict, strict);
    if (!outcome.loaded) {
        const XmlRepair::Result repair = repairFile(path);
        if (repair.repaired && !repair.changes.isEmpty()) {
            HeldServices repaired;
            if (loadRepaired(repair.text, document, repaired, repaired)) {
                repaired.replay(messages, errors);
                outcome.loaded = outcome.repaired = true;
                outcome.changes = repair.changes;
                return outcome;
            }
        }
        outcome.repairError = repair.repaired && repair.changes.isEmpty()
                                  ? QStringLiteral("Nothing in it can be repaired.")
                                  : repair.error;
    }
    strict.replay(messages, errors);
    return outcome;
}
} // namespace RepairPodcast
