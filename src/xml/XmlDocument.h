#pragma once

#include "XmlInputGuard.h"
#include "XmlNode.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class TextPieces;

class BackgroundRead;
class QFile;
class QIODevice;

// A read-only element store filled by libxml2's streaming parser, strict as
// xmllint: XML 1.0 with namespaces, exact about encodings, nothing fetched
// from the network or the disk, no DTD default attributes, internal entities
// expanded within libxml2's own limits.
//
// Paths select child elements step by step by their qualified name as
// written ("itunes:image"), case-sensitively; no namespace URI is consulted.
// A document path starts at the root element.
//
// What is kept of an element is its serialisation in one UTF-8 buffer, with
// text escaped as it is written back (&amp; &lt; &gt;) and prefixes mapped
// through namespaces(), so any subtree can be handed on as XML text.
//
// The whole input is parsed and checked before load() answers; a failed load
// leaves an empty document. Nothing here recurses.
class XmlDocument {
public:
    using Namespaces = QList<std::pair<QString, QString>>;
    using Handler = std::function<void(const XmlNode &)>;

    XmlDocument();
    ~XmlDocument();
    XmlDocument(const XmlDocument &) = delete;
    XmlDocument &operator=(const XmlDocument &) = delete;

    // Keeps the elements on these paths with everything inside them, and
    // their ancestors as bare path steps. Everything else is parsed and
    // checked but not stored. Without a call, every element is kept.
    void setRetainedPaths(const QStringList &paths);
    // Hands each kept element at `path` to `handler` as soon as it closes,
    // then forgets it: a long list of items never sits in memory twice. An
    // exception from the handler ends the load as a failure.
    void setStreamedPath(const QString &path, Handler handler);
    // `text` is the input itself, as the load will read it, and outlives
    // the load. A streamed element whose content is written there as the
    // store would write it is stored by copying that text: the parser still
    // reads and checks all of it, and the element handed on is the same.
    void setStreamedText(QByteArrayView text);
    // Prefix bindings to write kept content with. A prefix of the input
    // bound elsewhere to another namespace is renamed; "itunes" always names
    // Apple's namespace.
    void setNamespaces(const Namespaces &bindings);
    // The bindings given, then every new one the input needed, in order.
    const Namespaces &namespaces() const;
    // libxml2 looks a prefix up by going through every declaration in scope,
    // for each element: a load with more in scope than this fails.
    static constexpr qsizetype MaxNamespacesInScope = 6000;
    // The bindings are written back together on one element (a saved feed's
    // root), so a load that needs more than that element may hold fails;
    // some room is left for the well-known prefixes the editor may add.
    static constexpr qsizetype MaxNamespaceWeight = MaxNamespacesInScope - 16;
    static_assert(MaxNamespaceWeight + 16 <= XmlInputGuard::MaxAttributes);
    // What these bindings weigh on one element as the input guard counts:
    // one each, and one for every '=' in a namespace name.
    static qsizetype namespaceWeight(const Namespaces &bindings);

    // False when the input cannot be read or is not well-formed XML.
    bool load(const QString &path);
    // The same, reading the file into `bytes` as it is parsed: for a caller
    // that keeps the file's text, which is then read only once.
    // `beforeParse`, when given, sees the text before the parse begins, with
    // the read that is still filling it in: its wait() tells when all of it
    // is there.
    using BeforeParse =
        std::function<void(const QByteArray &, const std::shared_ptr<const BackgroundRead> &)>;
    bool load(const QString &path, QByteArray *bytes, const BeforeParse &beforeParse = {});
    bool load(QIODevice *device);
    // The reason, with line and column when the XML is at fault.
    QString errorString() const { return m_errorString; }
    // The last load failed because the file changed while it was read: the
    // same load may well succeed again.
    bool inputChanged() const { return m_inputChanged; }

    XmlNode documentElement() const;
    // Comments and processing instructions before the root element.
    QList<XmlNode> prolog() const;
    XmlNode selectSingleNode(QStringView path) const;
    QList<XmlNode> selectNodes(QStringView path) const;

    // Well-formedness of an encoded document: empty when well-formed,
    // otherwise the reason as errorString() gives it.
    static QString checkWellFormed(const QByteArray &data);
    static QString checkWellFormed(const TextPieces &text);
    // The same for a fragment (elements, text, comments) with these
    // prefixes declared around it.
    static QString checkFragment(const QByteArray &fragment, const Namespaces &declared,
                                 int *line = nullptr, int *column = nullptr);

private:
    friend class XmlNode;
    bool openFile(const QString &path, QFile &file);
    bool loadFrom(QIODevice *device, const QByteArray &name, const BackgroundRead *read = nullptr);
    static QString checkDevice(QIODevice &device);

    struct Data;
    class Parser;

    std::unique_ptr<Data> d;
    QString m_errorString;
    bool m_inputChanged = false;
};
