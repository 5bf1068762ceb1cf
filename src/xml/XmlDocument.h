#pragma once

#include "XmlNode.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>

class QIODevice;

// A read-only element tree over QXmlStreamReader, with namespace processing
// on. Paths select child elements step by step by their qualified name as
// written ("itunes:image"), case-sensitively; no namespace URI is consulted.
// A document path starts at the root element.
//
// The whole input is parsed and checked before load() answers, so a caller
// never sees half a document. Nothing external is ever fetched: external
// entities expand to nothing. Elements live in one flat array and nothing
// here recurses, so any nesting depth is safe.
class XmlDocument {
public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(const XmlDocument &) = delete;
    XmlDocument &operator=(const XmlDocument &) = delete;

    // Keeps only the elements on these paths (and their ancestors, which keep
    // neither text nor attributes). Everything else is parsed and checked but
    // not stored. Without a call, every element is kept.
    void setRetainedPaths(const QStringList &paths);

    // False when the input cannot be read or is not well-formed XML; the
    // previous content is dropped either way.
    bool load(const QString &path);
    bool load(QIODevice *device);
    // The reader's reason, with line and column when the XML is at fault.
    QString errorString() const { return m_errorString; }

    XmlNode documentElement() const;
    XmlNode selectSingleNode(QStringView path) const;
    QList<XmlNode> selectNodes(QStringView path) const;

    // Well-formedness of an encoded document text: empty when well-formed,
    // otherwise the reason as errorString() gives it.
    static QString checkWellFormed(const QByteArray &data);

private:
    friend class XmlNode;
    struct Data;

    qint32 findName(QStringView name) const;
    QString nodeName(qint32 index) const;
    QString nodeText(qint32 index) const;
    QList<XmlAttribute> nodeAttributes(qint32 index) const;
    qsizetype nodeAttributeCount(qint32 index) const;
    // Matches below `parent` (-1: the document, whose only child is the root).
    QList<XmlNode> select(qint32 parent, QStringView path, bool firstOnly) const;
    XmlNode selectFirst(qint32 parent, QStringView path) const;

    std::unique_ptr<Data> d;
    QString m_errorString;
};
