#include "XmlParser.h"

#include "BackgroundRead.h"
#include "WorkProgress.h"
#include "XmlEscape.h"

#include <libxml/HTMLparser.h>
#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/valid.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include <QBuffer>
#include <QIODevice>
#include <QRegularExpression>
#include <QStringList>
#include <iconv.h>

using namespace XmlStore;
using namespace XmlParsing;

namespace {
// libxml2 reads through this; entities are never fetched from anywhere.
xmlParserInputPtr refuseExternalEntity(const char *, const char *, xmlParserCtxtPtr) {
    return nullptr;
}
void ignoreGenericError(void *, const char *, ...) {}
} // namespace

namespace XmlParsing {
void initialiseLibxml2() {
    static const bool done = [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(refuseExternalEntity);
        xmlSetGenericErrorFunc(nullptr, ignoreGenericError);
        return true;
    }();
    Q_UNUSED(done);
}

QString withCodePoints(QString message) {
    // An invisible character is named by its code, not shown.
    static const QRegularExpression value(QStringLiteral("(?:value |Char 0x)([0-9A-Fa-f]+)"));
    const QRegularExpressionMatch match = value.match(message);
    if (match.hasMatch()) {
        bool ok = false;
        const bool hex = match.captured(0).startsWith(u'C');
        const uint code = match.captured(1).toUInt(&ok, hex ? 16 : 10);
        if (ok)
            message += QStringLiteral(" (U+%1)").arg(
                QStringLiteral("%1").arg(code, 4, 16, QLatin1Char('0')).toUpper());
    }
    return message;
}

// Where the first byte that the encoding cannot decode stands, counted in
// characters of the decoded text; libxml2 decodes ahead of its parsing and
// would name a later place, or only the end of what it could decode.
bool locateUndecodable(const QByteArray &bytes, const QByteArray &encoding, int *line, int *column,
                       QByteArray *offending) {
    iconv_t cd = iconv_open("UTF-8", encoding.constData());
    if (cd == iconv_t(-1))
        return false;
    const QByteArray upper = encoding.toUpper();
    const qsizetype unit =
        upper.contains("32") || upper.startsWith("UCS-4") || upper.startsWith("UCS4") ? 4
        : upper.contains("16") || upper.startsWith("UCS-2")                           ? 2
                                                                                      : 1;
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    // libxml2 does not count a byte-order mark as a column.
    for (const QByteArray &bom :
         {QByteArray("\xEF\xBB\xBF"), QByteArray("\xFF\xFE"), QByteArray("\xFE\xFF")}) {
        if (unit > 1 && bom.size() == 3)
            continue;
        if (bytes.startsWith(bom) && (unit == 2 || bom.size() == 3)) {
            in += bom.size();
            inLeft -= size_t(bom.size());
            break;
        }
    }
    int l = 1;
    int c = 1;
    bool found = false;
    while (inLeft > 0) {
        char out[4096];
        char *outPtr = out;
        size_t outLeft = sizeof out;
        const size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        for (const char *p = out; p < outPtr; ++p) {
            if (*p == '\n') {
                ++l;
                c = 1;
            } else if ((uchar(*p) & 0xC0) != 0x80) {
                ++c;
            }
        }
        if (result == size_t(-1) && errno != E2BIG) {
            // EINVAL: the input ends inside a character
            found = true;
            *offending = QByteArray(in, qMin(qsizetype(inLeft), unit));
            break;
        }
    }
    iconv_close(cd);
    if (found) {
        *line = l;
        *column = c;
    }
    return found;
}

QString byteList(const QByteArray &bytes) {
    QStringList parts;
    for (const char byte : bytes)
        parts.append(QStringLiteral("0x") +
                     QString::number(uchar(byte), 16).rightJustified(2, u'0').toUpper());
    return parts.join(u' ');
}
} // namespace XmlParsing

int XmlDocument::Parser::read(void *context, char *buffer, int length, const char **data) {
    Parser &parser = *static_cast<Parser *>(context);
    if (parser.m_stopped)
        return -1;
    qint64 n = 0;
    *data = buffer;
    if (parser.m_memory) {
        // Handed on where it stands: no copy of a file read into memory.
        n = std::min<qint64>(length, parser.m_memory->size() - parser.m_memoryAt);
        if (const BackgroundRead *reading = parser.m_backgroundRead) {
            const qsizetype want = parser.m_memoryAt + qsizetype(n);
            if (reading->waitFor(want) < want) {
                // The read ended short: the file cannot be read, or changed.
                parser.m_readFailed = true;
                parser.failRead(reading->errorString());
                return -1;
            }
        }
        *data = parser.m_memory->constData() + parser.m_memoryAt;
        parser.m_memoryAt += n;
    } else {
        n = parser.m_device->read(buffer, length);
    }
    if (n < 0) {
        parser.m_readFailed = true;
        QString reason = parser.m_device->errorString();
        if (reason.isEmpty())
            reason = QStringLiteral("The input cannot be read");
        parser.failRead(reason);
        return -1;
    }
    parser.m_bytesRead += n;
    // A cancelled load stops at the next chunk, as a failed read does.
    if (WorkProgress *progress = WorkProgress::current()) {
        if (progress->isCancelled()) {
            parser.failRead(WorkProgress::cancelledReason());
            return -1;
        }
        progress->setTotal(std::max(parser.m_device->size(), parser.m_bytesRead));
        progress->setDone(parser.m_bytesRead);
    }
    if (!parser.m_guard.scan(QByteArrayView(*data, n))) {
        parser.failRead(parser.m_guard.reason());
        return -1;
    }
    return int(n);
}

// libxml2's push parser passes a CDATA section on in 300-byte steps until it
// has seen the section's end, and tries only when a chunk brings a '>': the
// rest waits in its input, and past 10 MB it gives up ("Huge input lookup"),
// where text of any size goes through in bulk. So a long section is ended and
// begun again between two chunks: the same character data, handed on whole,
// and stored as one section again (see cdata()). Only in UTF-8 input, where
// the bytes pushed are the bytes parsed.
bool XmlDocument::Parser::inLongCdata() const {
    const xmlParserInputPtr input = m_context->input;
    // In the section, libxml2 has looked for "]]>" in all it holds and not
    // found it: everything after `cur` is the section's content.
    return m_context->instate == XML_PARSER_CDATA_SECTION && input && input->buf &&
           !input->buf->encoder && input->cur && input->end &&
           input->end - input->cur >= CdataBacklog;
}

int XmlDocument::Parser::push(const char *data, int size, bool terminate) {
    if (size > 0 && !m_stopped && inLongCdata()) {
        // The break goes neither after a ']' ("]]]>" would end the section
        // early) nor inside a character, and never past a '>' that might
        // end the section for real.
        char before = m_context->input->end[-1];
        int at = 0;
        while (at < size && data[at] != '>' && (before == ']' || (uchar(data[at]) & 0xC0) == 0x80))
            before = data[at++];
        if (at < size && data[at] != '>') {
            if (at > 0) {
                const int status = xmlParseChunk(m_context, data, at, 0);
                if (status != 0 || m_stopped || !inLongCdata())
                    return status != 0 ? status
                                       : xmlParseChunk(m_context, data + at, size - at, terminate);
            }
            const xmlParserInputPtr input = m_context->input;
            const auto *cur = reinterpret_cast<const char *>(input->cur);
            const auto *end = reinterpret_cast<const char *>(input->end);
            const void *newline = memrchr(cur, '\n', size_t(end - cur));
            int line = input->line;
            int column = 0;
            if (newline) {
                line += int(std::count(cur, end, '\n'));
                column = int(end - static_cast<const char *>(newline));
            } else {
                column = input->col + int(end - cur);
            }
            m_cdataBreaks.emplace_back(line, column);
            static constexpr char Break[] = "]]><![CDATA[";
            m_inserted += qsizetype(sizeof Break) - 1;
            QByteArray joined(Break, qsizetype(sizeof Break) - 1);
            joined.append(data + at, size - at);
            return xmlParseChunk(m_context, joined.constData(), int(joined.size()), terminate);
        }
    }
    return xmlParseChunk(m_context, data, size, terminate);
}
int XmlDocument::Parser::sourceColumn(int line, int column) const {
    constexpr int BreakLength = 12; // "]]><![CDATA["
    int shift = 0;
    for (const auto &[breakLine, breakColumn] : m_cdataBreaks) {
        if (breakLine == line && breakColumn < column)
            shift += BreakLength;
    }
    return column - shift;
}

bool XmlDocument::Parser::run(QIODevice &device, const QByteArray &name, QString &error) {
    initialiseLibxml2();
    m_device = &device;

    xmlSAXHandler sax;
    std::memset(&sax, 0, sizeof sax);
    xmlSAXVersion(&sax, 2);
    sax.startElementNs = startElement;
    sax.endElementNs = endElement;
    sax.characters = characters;
    sax.ignorableWhitespace = characters;
    sax.cdataBlock = cdata;
    sax.comment = comment;
    sax.processingInstruction = processingInstruction;
    sax.getEntity = getEntity;
    sax.attributeDecl = attributeDecl;
    sax.serror = structuredError;
    sax.error = nullptr;
    sax.warning = nullptr;
    sax.fatalError = nullptr;

    // Pushed in chunks rather than pulled: libxml2 2.9's pull parser reads
    // CDATA one character at a time, its push parser scans it in bulk, which
    // halves the time on feeds full of CDATA show notes.
    std::vector<char> chunk(size_t(64) << 10);
    // The first bytes alone, so libxml2 detects the encoding before anything else.
    if (const auto *buffer = qobject_cast<const QBuffer *>(&device)) {
        m_memory = &buffer->data();
        m_memoryAt = qsizetype(buffer->pos());
    }
    const char *data = nullptr;
    const int first = read(this, chunk.data(), 4, &data);
    if (first < 0) {
        error = m_error;
        return false;
    }
    m_context = xmlCreatePushParserCtxt(&sax, nullptr, data, first,
                                        name.isEmpty() ? nullptr : name.constData());
    if (!m_context) {
        error = QStringLiteral("Out of memory");
        return false;
    }
    m_context->_private = this;
    xmlCtxtUseOptions(m_context, ParseOptions);
    if (const xmlError &early = m_context->lastError; early.code != XML_ERR_OK) {
        m_stopped = true;
        m_errorCode = early.code;
        m_errorLine = early.line;
        m_errorColumn = early.int2;
        m_error =
            QStringLiteral("%1 (line %2, column %3)")
                .arg(QString::fromUtf8(early.message ? early.message : "Not well-formed").trimmed())
                .arg(qMax(1, early.line))
                .arg(qMax(1, early.int2));
    }
    while (!m_stopped && m_context->wellFormed) {
        // Noted while it is there: a halted parser frees its input.
        if (m_encoding.isEmpty() && m_context->input && m_context->input->buf &&
            m_context->input->buf->encoder)
            m_encoding = m_context->input->buf->encoder->name;
        const int n = read(this, chunk.data(), int(chunk.size()), &data);
        if (n < 0)
            break;
        // A byte the encoding cannot decode halts the push parser without
        // an error of its own and with the document still "well-formed".
        if (push(data, n, n == 0) != 0 && !m_stopped && m_context->wellFormed) {
            m_stopped = true;
            m_errorCode = XML_I18N_CONV_FAILED;
            m_errorLine = m_errorColumn = std::numeric_limits<int>::max();
            m_error = QStringLiteral("The input cannot be decoded");
        }
        if (n == 0)
            break;
    }
    const bool ok = !m_stopped && m_context->wellFormed;
    if (!ok) {
        error = m_error.isEmpty() ? QStringLiteral("Not well-formed XML") : m_error;
        // libxml2 decodes ahead of its parsing and reports a byte it cannot
        // decode as the end of the input, or not at all: find it ourselves
        // when the input can be read again. It is the cause when it stands
        // no later than where the parser stopped.
        const QByteArray encodingName = m_encoding;
        // A file still being read is read again only once it is all there.
        const bool whole =
            !m_backgroundRead || m_backgroundRead->wait() == BackgroundRead::Outcome::Whole;
        if (m_errorCode != 0 && !encodingName.isEmpty() && whole && !device.isSequential() &&
            device.seek(0)) {
            const QByteArray bytes = device.readAll();
            int line = 0;
            int column = 0;
            QByteArray offending;
            if (locateUndecodable(bytes, encodingName, &line, &column, &offending) &&
                (line < m_errorLine || (line == m_errorLine && column <= m_errorColumn))) {
                error =
                    QStringLiteral("%1 %2 %3 not a character in the encoding %4 "
                                   "(line %5, column %6)")
                        .arg(offending.size() == 1 ? QStringLiteral("Byte")
                                                   : QStringLiteral("Bytes"),
                             byteList(offending),
                             offending.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"),
                             QString::fromLatin1(encodingName))
                        .arg(line)
                        .arg(column);
            }
        }
    }
    if (m_context->myDoc)
        xmlFreeDoc(m_context->myDoc);
    m_context->myDoc = nullptr;
    xmlFreeParserCtxt(m_context);
    m_context = nullptr;
    return ok;
}
