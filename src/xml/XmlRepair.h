#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <utility>

// Mends the few faults that keep feeds podcast apps read every day from being
// well-formed XML, and lists every change: text before the declaration or the
// root, bytes that are not UTF-8 in a UTF-8 file, undeclared prefixes, bare
// ampersands and HTML's named references. Each repair keeps every other byte
// as it was. Structure is never guessed: crossed or unclosed tags, a missing
// root or a file that is not text stay refused, by the strict parser that
// checks the mended text.
//
// Runs only when asked, on bytes a strict load refused. One pass per kind of
// repair, each linear in the input.
class XmlRepair {
public:
    using Namespaces = QList<std::pair<QString, QString>>;

    struct Change {
        int line = 0; // in the file as it was, from 1
        QString was;
        QString now;
        QString what;
    };

    struct Result {
        bool repaired = false; // text is well-formed XML
        QByteArray text;
        QList<Change> changes; // by line
        QString error;         // why the bytes cannot be mended
    };

    // A file needing more changes than this is not almost XML; the limit also
    // bounds the memory the list takes (some 50 MB).
    static constexpr qsizetype MaxChanges = 250000;

    // `wellKnown` binds the prefixes a file may use without declaring them.
    static Result repair(const QByteArray &bytes, const Namespaces &wellKnown);

    // The namespace an undeclared prefix that is not well known is bound to.
    static QString placeholderNamespace(const QString &prefix);

    // One change on one line, for people: line, what was there, what it
    // became, and why; long or invisible text shortened or made visible.
    static QString describe(const Change &change);
};
