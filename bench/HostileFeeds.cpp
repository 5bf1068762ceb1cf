#include "HostileFeeds.h"

namespace HostileFeeds {
namespace {
QByteArray n(int number) {
    return QByteArray::number(number);
}

QByteArray rss(const QByteArray &declarations, const QByteArray &items) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\"" +
           declarations + " version=\"2.0\"><channel><title>Hostile</title>\n" + items +
           "</channel></rss>\n";
}

QByteArray declarations(int count) {
    QByteArray text;
    for (int j = 0; j < count; ++j)
        text += " xmlns:p" + n(j) + "=\"urn:n:" + n(j) + '"';
    return text;
}

// `prefixes` declared on the root, item i using prefix i.
QByteArray distinct(int prefixes) {
    QByteArray body;
    for (int i = 0; i < prefixes; ++i)
        body += "<item><title>E" + n(i) + "</title><p" + n(i) + ":x/></item>\n";
    return rss(declarations(prefixes), body);
}

// Each item binds `p` anew and uses it.
QByteArray redeclared(int items) {
    QByteArray body;
    for (int i = 0; i < items; ++i)
        body += "<item xmlns:p=\"urn:n:" + n(i) + "\"><title>E" + n(i) + "</title><p:x>" + n(i) +
                "</p:x></item>\n";
    return rss({}, body);
}

// `declared` prefixes on the root, then items of `perItem` elements, each
// element of its own prefix.
QByteArray namespaced(int declared, int items, int perItem) {
    QByteArray body;
    for (int i = 0; i < items; ++i) {
        body += "<item><title>E" + n(i) + "</title>";
        for (int j = 0; j < perItem; ++j)
            body += "<p" + n(j) + ":x/>";
        body += "</item>\n";
    }
    return rss(declarations(declared), body);
}

QByteArray cdata(int sections, int megabytes) {
    QByteArray body = "<item><title>E</title><description>";
    for (int i = 0; i < sections; ++i)
        body += "<![CDATA[" + QByteArray(megabytes * 1024 * 1024, char('a' + i)) + "]]>";
    return rss({}, body + "</description></item>\n");
}
} // namespace

QStringList shapes() {
    return {u"redeclared-1000"_qs,    u"redeclared-2000"_qs,  u"distinct-5000"_qs,
            u"namespaced-5000x50"_qs, u"minimal-160000"_qs,   u"cdata-3x4MB"_qs,
            u"cdata-12MB"_qs,         u"scope-5990-items"_qs, u"scope-5990-tiny"_qs,
            u"scope-5990-prefixed"_qs};
}

QByteArray bytes(const QString &shape) {
    if (shape == u"redeclared-1000")
        return redeclared(1000);
    if (shape == u"redeclared-2000")
        return redeclared(2000);
    if (shape == u"distinct-5000")
        return distinct(5000);
    if (shape == u"namespaced-5000x50")
        return namespaced(50, 5000, 50);
    if (shape == u"minimal-160000")
        return rss({}, QByteArray("<item><title>E</title></item>\n").repeated(160'000));
    if (shape == u"cdata-3x4MB")
        return cdata(3, 4);
    if (shape == u"cdata-12MB")
        return cdata(1, 12);
    // Nearly as many declarations in scope as a load takes, unused: libxml2 goes
    // through them all for every element.
    if (shape == u"scope-5990-items")
        return rss(declarations(5990),
                   QByteArray("<item><title>E</title></item>\n").repeated(150'000));
    if (shape == u"scope-5990-tiny")
        return rss(declarations(5990),
                   ("<item><title>E</title>" + QByteArray("<a/>").repeated(100) + "</item>\n")
                       .repeated(11'000));
    // A prefix declared first on the root, so libxml2 goes past all the
    // others to find it, for each element.
    if (shape == u"scope-5990-prefixed")
        return rss(declarations(5990),
                   ("<item><title>E</title>" + QByteArray("<p0:x/>").repeated(100) + "</item>\n")
                       .repeated(6500));
    return {};
}
} // namespace HostileFeeds
