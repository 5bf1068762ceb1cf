#include "XmlDocument.h"

#include "BackgroundRead.h"
#include "LargePages.h"
#include "PrefixIndex.h"
#include "TextPiecesDevice.h"
#include "WorkProgress.h"
#include "XmlEscape.h"
#include "XmlParser.h"

#include <QBuffer>
#include <QFile>
#include <QRegularExpression>

#include <sys/stat.h>

using namespace XmlStore;
using namespace XmlParsing;

XmlDocument::XmlDocument()
    : d(std::make_unique<Data>()) {}

XmlDocument::~XmlDocument() = default;

void XmlDocument::setRetainedPaths(const QStringList &paths) {
    d->filtered = true;
    for (const QString &path : paths)
        d->steps[size_t(d->addStepPath(path))].target = true;
}

void XmlDocument::setStreamedPath(const QString &path, Handler handler) {
    d->steps[size_t(d->addStepPath(path))].streamed = true;
    d->streamHandler = std::move(handler);
}

void XmlDocument::setStreamedText(QByteArrayView text) {
    d->streamedText = text;
}

void XmlDocument::setNamespaces(const Namespaces &bindings) {
    d->namespaces = bindings;
}

const XmlDocument::Namespaces &XmlDocument::namespaces() const {
    return d->namespaces;
}

qsizetype XmlDocument::namespaceWeight(const Namespaces &bindings) {
    qsizetype weight = 0;
    for (const auto &[prefix, name] : bindings)
        weight += 1 + prefix.count(u'=') + name.count(u'=');
    return weight;
}

bool XmlDocument::openFile(const QString &path, QFile &file) {
    d->clearContent();
    m_errorString.clear();
    m_inputChanged = false;
    // Only a regular file (or a link to one) is read: a FIFO would block
    // and a device never ends.
    struct stat info {};
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &info) != 0) {
        m_errorString = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        m_errorString = QStringLiteral("%1 is a folder, not a file").arg(path);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        m_errorString = QStringLiteral("%1 is not a regular file").arg(path);
        return false;
    }
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_errorString = file.errorString();
        return false;
    }
    return true;
}

bool XmlDocument::load(const QString &path) {
    QFile file;
    return openFile(path, file) && load(&file);
}

bool XmlDocument::load(const QString &path, QByteArray *bytes, const BeforeParse &beforeParse) {
    auto file = std::make_unique<QFile>();
    if (!openFile(path, *file))
        return false;
    if (file->size() == 0) {
        // A file that tells no size (some virtual file systems) is read
        // to its end before the parse.
        QByteArray text = file->readAll();
        if (beforeParse)
            beforeParse(text, nullptr);
        QBuffer buffer(&text);
        buffer.open(QIODevice::ReadOnly);
        const bool ok = loadFrom(&buffer, QFile::encodeName(path));
        *bytes = std::move(text);
        return ok;
    }
    // Parsed as it comes in: the parse waits only for bytes not read yet.
    const auto read = std::make_shared<BackgroundRead>(std::move(file));
    QByteArray text = read->text();
    if (beforeParse)
        beforeParse(text, read);
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    const bool ok = loadFrom(&buffer, QFile::encodeName(path), read.get());
    buffer.close();
    if (!ok)
        read->stop(); // the rest is not needed
    const BackgroundRead::Outcome outcome = read->wait();
    if (outcome == BackgroundRead::Outcome::Whole) {
        *bytes = std::move(text);
        return ok;
    }
    d->clearContent();
    if (WorkProgress::currentCancelled()) {
        // A cancelled load stays cancelled, whatever the file did meanwhile.
        m_errorString = WorkProgress::cancelledReason();
        return false;
    }
    if (outcome == BackgroundRead::Outcome::Changed) {
        // What was parsed is not the file: neither a success nor an error
        // in it stands.
        m_inputChanged = true;
        m_errorString = read->errorString();
        return false;
    }
    // The read was stopped after the parse failed, or failed itself.
    if (ok)
        m_errorString = read->errorString();
    return false;
}

bool XmlDocument::load(QIODevice *device) {
    d->clearContent();
    m_errorString.clear();
    m_inputChanged = false;
    if (!device || !device->isReadable()) {
        m_errorString = device ? device->errorString() : QStringLiteral("No input");
        if (m_errorString.isEmpty())
            m_errorString = QStringLiteral("The input cannot be read");
        return false;
    }
    const QFile *file = qobject_cast<const QFile *>(device);
    return loadFrom(device, file ? QFile::encodeName(file->fileName()) : QByteArray());
}

bool XmlDocument::loadFrom(QIODevice *device, const QByteArray &name, const BackgroundRead *read) {
    const Namespaces given = d->namespaces;
    Parser parser(this, *d, true);
    parser.setBackgroundRead(read);
    if (!parser.run(*device, name, m_errorString)) {
        d->clearContent();
        d->namespaces = given;
        return false;
    }
    d->names.makeTexts();
    return true;
}

QString XmlDocument::checkWellFormed(const QByteArray &data) {
    QByteArray copy = data; // shared, not copied
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return checkDevice(buffer);
}

QString XmlDocument::checkWellFormed(const TextPieces &text) {
    TextPiecesDevice device(text);
    device.open(QIODevice::ReadOnly);
    return checkDevice(device);
}

QString XmlDocument::checkDevice(QIODevice &device) {
    XmlDocument document;
    Parser parser(&document, *document.d, false);
    QString error;
    if (parser.run(device, QByteArray(), error))
        return {};
    return error;
}

QString XmlDocument::checkFragment(const QByteArray &fragment, const Namespaces &declared,
                                   int *line, int *column) {
    QByteArray wrapped("<fragment");
    // Only the prefixes the fragment can use: thousands of declarations
    // around every fragment would cost more than the fragment.
    const Namespaces used =
        declared.size() > 16 ? PrefixIndex(declared).usedBy(fragment) : declared;
    for (const auto &[prefix, name] : used) {
        wrapped += " xmlns:";
        wrapped += prefix.toUtf8();
        wrapped += "=\"";
        XmlEscape::appendAttribute(wrapped, name.toUtf8());
        wrapped += '"';
    }
    wrapped += '>';
    const qsizetype offset = wrapped.size();
    wrapped += fragment;
    wrapped += "</fragment>";
    QString error = checkWellFormed(wrapped);
    if (error.isEmpty())
        return error;
    // Positions count in the fragment, not in the wrapper around it.
    static const QRegularExpression position(QStringLiteral(" \\(line (\\d+), column (\\d+)\\)$"));
    const QRegularExpressionMatch match = position.match(error);
    if (match.hasMatch()) {
        int l = match.captured(1).toInt();
        int c = match.captured(2).toInt();
        if (l == 1)
            c = qMax(1, c - int(offset));
        if (line)
            *line = l;
        if (column)
            *column = c;
        error = error.left(match.capturedStart()) +
                QStringLiteral(" (line %1, column %2)").arg(l).arg(c);
    }
    return error;
}

XmlNode XmlDocument::documentElement() const {
    return d->root < 0 ? XmlNode() : XmlNode(this, d->root);
}

QList<XmlNode> XmlDocument::prolog() const {
    QList<XmlNode> nodes;
    for (const qint32 index : d->prolog)
        nodes.append(XmlNode(this, index));
    return nodes;
}

XmlNode XmlDocument::selectSingleNode(QStringView path) const {
    const QList<XmlNode> found = d->select(this, -1, path, true);
    return found.isEmpty() ? XmlNode() : found.first();
}

QList<XmlNode> XmlDocument::selectNodes(QStringView path) const {
    return d->select(this, -1, path, false);
}
