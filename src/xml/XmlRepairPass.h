#pragma once

#include "LineCounter.h"
#include "XmlRepair.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <vector>

// The repair's markup pass: bare ampersands, references that are not XML's
// and undeclared prefixes, on text already decoded and freed of what stood
// before the feed. It follows tags only as far as it must to tell text from
// markup and to know which prefixes are declared where; what it cannot
// follow it leaves for the strict parser to refuse.
class XmlRepairPass {
public:
    // `lineOffset` turns lines of `in` into lines of the file.
    XmlRepairPass(const QByteArray &in, bool utf8, int lineOffset,
                  QList<XmlRepair::Change> &changes)
        : m_in(in)
        , m_utf8(utf8)
        , m_lines(in)
        , m_lineOffset(lineOffset)
        , m_changes(changes) {
        m_out.reserve(in.size() + in.size() / 16);
    }

    // Each undeclared prefix becomes a change at the end.
    bool tooMany() const { return m_changes.size() + m_undeclared.size() > XmlRepair::MaxChanges; }

    // The mended text; the changes are appended to the list given.
    QByteArray run(const XmlRepair::Namespaces &wellKnown);

private:
    int lineAt(qsizetype offset) { return m_lines.lineAt(offset) + m_lineOffset; }

    void flush(qsizetype upTo);

    void replace(qsizetype at, qsizetype length, const QByteArray &now, const QString &nowShown,
                 const QString &what);

    // At an '&' of text or of an attribute value ending before `limit`.
    qsizetype reference(qsizetype at, qsizetype limit);

    // At a '<': where the markup ends, or -1 when it cannot be followed.
    qsizetype markup(qsizetype at);

    // Entities declared in the internal subset are references of the file's own.
    qsizetype doctype(qsizetype k);

    static QByteArrayView prefixOf(QByteArrayView name);

    qsizetype startTag(qsizetype at);

    void popScope();

    // Every prefix used without a declaration is declared on the root.
    void bindPrefixes(const XmlRepair::Namespaces &wellKnown);

    const QByteArray &m_in;
    const bool m_utf8;
    LineCounter m_lines;
    const int m_lineOffset;
    QList<XmlRepair::Change> &m_changes;
    QByteArray m_out;
    qsizetype m_copied = 0;
    qint64 m_depth = 0;
    qsizetype m_rootInsert = -1;
    int m_rootLine = 0;
    QSet<QByteArray> m_entities;
    QHash<QByteArray, int> m_inScope;
    // Prefixes declared by the open elements, one after another, and where
    // each element's own begin.
    std::vector<QByteArray> m_declared;
    std::vector<size_t> m_scopes;
    QHash<QByteArray, int> m_firstUse;
    QList<QByteArray> m_undeclared;
};
