#include "output/links/Links.h"

#include <QRegularExpression>

namespace kalvendo {

namespace {

bool isLocalPath(const QString& t) {
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:([\\\\/]|$)"));
    return t.startsWith(u'/') || t.startsWith(u'\\') || t.startsWith(u'~') ||
           t.startsWith(QStringLiteral("./")) || t.startsWith(QStringLiteral("../")) ||
           drive.match(t).hasMatch();
}

// The scheme the text starts with, lower case; empty when it has none. A
// "host:port" start ("example.de:8080/x") is no scheme.
QString schemeOf(const QString& t) {
    static const QRegularExpression re(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):(.*)$"),
                                       QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression port(QStringLiteral("^\\d+([/?#].*)?$"),
                                         QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = re.match(t);
    if (!m.hasMatch())
        return {};
    const QString rest = m.captured(2);
    if (!rest.startsWith(QStringLiteral("//")) && port.match(rest).hasMatch())
        return {};
    return m.captured(1).toLower();
}

// A query value: percent-encoded as UTF-8, blanks as "+" (a literal "+" is
// encoded, so it does not turn into a blank at the server).
QString queryValue(const QString& value) {
    QByteArray encoded = QUrl::toPercentEncoding(value, " ");
    encoded.replace(' ', '+');
    return QString::fromLatin1(encoded);
}

QString joinNonEmpty(const QStringList& parts, const QString& separator) {
    QStringList kept;
    for (const QString& p : parts) {
        const QString s = p.simplified();
        if (!s.isEmpty())
            kept << s;
    }
    return kept.join(separator);
}

} // namespace

QUrl mailUrl(const QString& address) {
    const QString a = address.trimmed();
    if (a.isEmpty())
        return {};
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(a, QUrl::DecodedMode);
    return url;
}

WebAddress webAddress(const QString& text) {
    WebAddress result;
    QString t = text.trimmed();
    if (t.isEmpty()) {
        result.refusal = WebRefusal::Empty;
        return result;
    }
    if (isLocalPath(t)) {
        result.refusal = WebRefusal::LocalPath;
        return result;
    }
    const QString scheme = schemeOf(t);
    if (scheme.isEmpty()) {
        t.prepend(QStringLiteral("https://"));
    } else if (scheme != u"http" && scheme != u"https" && scheme != u"ftp") {
        result.refusal = WebRefusal::Scheme;
        result.scheme = scheme;
        return result;
    }
    const QUrl url(t, QUrl::TolerantMode);
    if (!url.isValid() || url.host().isEmpty()) {
        result.refusal = WebRefusal::Malformed;
        return result;
    }
    result.url = url;
    return result;
}

WebAddress mapAddress(const QString& service, const MapQuery& q) {
    if (service.trimmed().isEmpty()) {
        const QString text = joinNonEmpty({joinNonEmpty({q.street, q.number}, QStringLiteral(" ")),
                                           joinNonEmpty({q.postcode, q.town}, QStringLiteral(" "))},
                                          QStringLiteral(", "));
        QUrl url(QString::fromLatin1(kOpenStreetMapSearch));
        url.setQuery(QStringLiteral("query=") + QString::fromLatin1(QUrl::toPercentEncoding(text)),
                     QUrl::StrictMode);
        return {url, WebRefusal::None, {}};
    }

    WebAddress base = webAddress(service);
    if (!base.ok())
        return base;
    QUrl url = base.url;
    if (url.path().isEmpty() || url.path() == u"/")
        url.setPath(QString::fromLatin1(kMapPagePath));
    const QString query = QStringLiteral("street=") + queryValue(q.street) + u'+' +
                          queryValue(q.number) + QStringLiteral("&city=") + queryValue(q.postcode) +
                          u'+' + queryValue(q.town) + QStringLiteral("&lng=") +
                          queryValue(q.language);
    const QString existing = url.query(QUrl::FullyEncoded);
    url.setQuery(existing.isEmpty() ? query : existing + u'&' + query, QUrl::StrictMode);
    base.url = url;
    return base;
}

} // namespace kalvendo
