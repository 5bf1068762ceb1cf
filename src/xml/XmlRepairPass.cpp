#include "XmlRepairPass.h"

#include "XmlRepairBytes.h"

#include <QVarLengthArray>

#include <libxml/HTMLparser.h>

using namespace XmlRepairBytes;

void XmlRepairPass::replace(qsizetype at, qsizetype length, const QByteArray &now,
                            const QString &nowShown, const QString &what) {
    flush(at);
    m_out.append(now);
    m_copied = at + length;
    m_changes.append(
        {lineAt(at), QString::fromUtf8(QByteArrayView(m_in).sliced(at, length)), nowShown, what});
}

QByteArray XmlRepairPass::run(const XmlRepair::Namespaces &wellKnown) {
    const qsizetype n = m_in.size();
    qsizetype i = 0;
    while (i < n && !tooMany()) {
        const char c = m_in[i];
        if (c == '&') {
            i = reference(i, n);
        } else if (c == '<') {
            const qsizetype next = markup(i);
            if (next < 0)
                break; // left as it is for the strict parser to refuse
            i = next;
        } else {
            ++i;
        }
    }
    flush(n);
    if (!tooMany())
        bindPrefixes(wellKnown);
    return std::move(m_out);
}

void XmlRepairPass::flush(qsizetype upTo) {
    if (upTo > m_copied) {
        m_out.append(QByteArrayView(m_in).sliced(m_copied, upTo - m_copied));
        m_copied = upTo;
    }
}

qsizetype XmlRepairPass::reference(qsizetype at, qsizetype limit) {
    static const QString bare = QStringLiteral("bare & escaped");
    static const QString html = QStringLiteral("HTML named reference replaced by its character");
    static const QString unknown = QStringLiteral("unknown named reference kept as text");
    const auto escapeAmpersand = [&](const QString &what) {
        replace(at, 1, "&amp;", QStringLiteral("&amp;"), what);
        return at + 1;
    };
    qsizetype k = at + 1;
    if (k < limit && m_in[k] == '#') {
        ++k;
        const bool hex = k < limit && m_in[k] == 'x';
        if (hex)
            ++k;
        const qsizetype digits = k;
        while (k < limit && (hex ? isHexDigit(m_in[k]) : isDigit(m_in[k])))
            ++k;
        if (k > digits && k < limit && m_in[k] == ';')
            return k + 1;
        return escapeAmpersand(bare);
    }
    if (k >= limit || !isNameStart(m_in[k]))
        return escapeAmpersand(bare);
    while (k < limit && isNameChar(m_in[k]))
        ++k;
    if (k >= limit || m_in[k] != ';')
        return escapeAmpersand(bare);
    const QByteArray name = m_in.mid(at + 1, k - at - 1);
    static const QSet<QByteArray> predefined{"amp", "lt", "gt", "quot", "apos"};
    if (predefined.contains(name) || m_entities.contains(name))
        return k + 1;
    const htmlEntityDesc *entity =
        htmlEntityLookup(reinterpret_cast<const xmlChar *>(name.constData()));
    if (!entity) {
        const QByteArray text = "&amp;" + name + ';';
        replace(at, k + 1 - at, text, QString::fromUtf8(text), unknown);
        return k + 1;
    }
    const char32_t code = entity->value;
    const QString character = QString::fromUcs4(&code, 1);
    // Markup characters stay references, and so does everything in a
    // file whose encoding may not hold the character.
    const bool asReference = !m_utf8 || code < 0x20 || code == '<' || code == '>' || code == '&' ||
                             code == '"' || code == '\'';
    const QByteArray now =
        asReference ? QByteArray("&#") + QByteArray::number(uint(code)) + ';' : character.toUtf8();
    replace(at, k + 1 - at, now, asReference ? QString::fromLatin1(now) : character, html);
    return k + 1;
}

qsizetype XmlRepairPass::markup(qsizetype at) {
    const auto past = [&](QByteArrayView close, qsizetype from) -> qsizetype {
        const qsizetype end = m_in.indexOf(close, from);
        return end < 0 ? -1 : end + close.size();
    };
    if (startsWith(m_in, at, "<!--"))
        return past("-->", at + 4);
    if (startsWith(m_in, at, "<![CDATA["))
        return past("]]>", at + 9);
    if (startsWith(m_in, at, "<?"))
        return past("?>", at + 2);
    if (startsWith(m_in, at, "<!DOCTYPE"))
        return doctype(at + 9);
    if (startsWith(m_in, at, "</")) {
        const qsizetype end = past(">", at + 2);
        if (end >= 0 && m_depth > 0) {
            popScope();
            --m_depth;
        }
        return end;
    }
    if (at + 1 < m_in.size() && isNameStart(m_in[at + 1]))
        return startTag(at);
    return at + 1;
}

qsizetype XmlRepairPass::doctype(qsizetype k) {
    const qsizetype n = m_in.size();
    bool subset = false;
    while (k < n) {
        const char c = m_in[k];
        if (c == '"' || c == '\'') {
            k = m_in.indexOf(c, k + 1);
            if (k < 0)
                return -1;
        } else if (c == '[') {
            subset = true;
        } else if (c == ']') {
            subset = false;
        } else if (c == '>' && !subset) {
            return k + 1;
        } else if (subset && startsWith(m_in, k, "<!--")) {
            k = m_in.indexOf("-->", k + 4);
            if (k < 0)
                return -1;
            k += 2;
        } else if (subset && startsWith(m_in, k, "<!ENTITY")) {
            qsizetype name = k + 8;
            while (name < n && isSpace(m_in[name]))
                ++name;
            qsizetype end = name;
            while (end < n && isNameChar(m_in[end]))
                ++end;
            if (end > name)
                m_entities.insert(m_in.mid(name, end - name));
            k = end - 1;
        }
        ++k;
    }
    return -1;
}

QByteArrayView XmlRepairPass::prefixOf(QByteArrayView name) {
    const qsizetype colon = name.indexOf(':');
    return colon > 0 ? name.first(colon) : QByteArrayView();
}

qsizetype XmlRepairPass::startTag(qsizetype at) {
    const qsizetype n = m_in.size();
    // Asked before the attributes' repairs ask theirs: lines are counted forward only.
    const int line = lineAt(at);
    qsizetype k = at + 1;
    while (k < n && isNameChar(m_in[k]))
        ++k;
    // Most tags have a few attributes: nothing is allocated for them.
    QVarLengthArray<QByteArrayView, 8> used{
        prefixOf(QByteArrayView(m_in).sliced(at + 1, k - at - 1))};
    const size_t scopeStart = m_declared.size();
    qsizetype lastAttribute = k;
    bool empty = false;
    for (;;) {
        const qsizetype before = k;
        while (k < n && isSpace(m_in[k]))
            ++k;
        if (k >= n)
            return -1;
        if (m_in[k] == '>') {
            ++k;
            break;
        }
        if (m_in[k] == '/' && k + 1 < n && m_in[k + 1] == '>') {
            k += 2;
            empty = true;
            break;
        }
        if (k == before || !isNameStart(m_in[k]))
            return -1;
        const qsizetype nameStart = k;
        while (k < n && isNameChar(m_in[k]))
            ++k;
        const QByteArrayView name = QByteArrayView(m_in).sliced(nameStart, k - nameStart);
        while (k < n && isSpace(m_in[k]))
            ++k;
        if (k >= n || m_in[k] != '=')
            return -1;
        ++k;
        while (k < n && isSpace(m_in[k]))
            ++k;
        if (k >= n || (m_in[k] != '"' && m_in[k] != '\''))
            return -1;
        const qsizetype close = m_in.indexOf(m_in[k], k + 1);
        if (close < 0)
            return -1;
        for (qsizetype v = k + 1; v < close && !tooMany();) {
            v = m_in[v] == '&' ? reference(v, close) : v + 1;
        }
        if (name.startsWith("xmlns:")) {
            m_declared.push_back(name.sliced(6).toByteArray());
            ++m_inScope[m_declared.back()];
        } else if (name != "xmlns") {
            used.append(prefixOf(name));
        }
        k = close + 1;
        lastAttribute = k;
    }

    m_scopes.push_back(scopeStart);
    for (const QByteArrayView prefix : std::as_const(used)) {
        if (prefix.isEmpty() || prefix == "xml" || prefix == "xmlns")
            continue;
        const QByteArray key = QByteArray::fromRawData(prefix.data(), prefix.size());
        if (m_inScope.value(key) == 0 && !m_firstUse.contains(key)) {
            const QByteArray owned = prefix.toByteArray();
            m_firstUse.insert(owned, line);
            m_undeclared.append(owned);
        }
    }
    if (m_depth == 0 && m_rootInsert < 0) {
        flush(lastAttribute);
        m_rootInsert = m_out.size();
        m_rootLine = lineAt(lastAttribute);
    }
    if (empty)
        popScope();
    else
        ++m_depth;
    return k;
}

void XmlRepairPass::popScope() {
    if (m_scopes.empty())
        return;
    for (size_t i = m_scopes.back(); i < m_declared.size(); ++i)
        --m_inScope[m_declared[i]];
    m_declared.resize(m_scopes.back());
    m_scopes.pop_back();
}

void XmlRepairPass::bindPrefixes(const XmlRepair::Namespaces &wellKnown) {
    if (m_rootInsert < 0 || m_undeclared.isEmpty())
        return;
    QByteArray declarations;
    for (const QByteArray &prefix : std::as_const(m_undeclared)) {
        const QString name = QString::fromUtf8(prefix);
        QString uri;
        for (const auto &[known, namespaceName] : wellKnown) {
            if (known == name)
                uri = namespaceName;
        }
        const bool placeholder = uri.isEmpty();
        if (placeholder)
            uri = XmlRepair::placeholderNamespace(name);
        const QByteArray declaration = " xmlns:" + prefix + "=\"" + uri.toUtf8() + '"';
        declarations += declaration;
        const QString what = placeholder
                                 ? QStringLiteral("undeclared prefix %1 bound to a placeholder "
                                                  "namespace, as it is not a well-known one (first "
                                                  "used on line %2)")
                                 : QStringLiteral("undeclared prefix %1 bound to its well-known "
                                                  "namespace (first used on line %2)");
        m_changes.append({m_rootLine, QString(), QString::fromUtf8(declaration),
                          what.arg(name).arg(m_firstUse.value(prefix))});
    }
    m_out.insert(m_rootInsert, declarations);
}
