#pragma once

#include <QString>
#include <QUrl>

namespace kalvendo {

// The mail link for an e-mail field: "mailto:" and the address as one path,
// percent-encoded, so that "a@b.de?bcc=x@y.z" stays one (odd) recipient and
// adds none. Empty for an empty (or blank) field.
QUrl mailUrl(const QString& address);

// Why a web field is not opened.
enum class WebRefusal {
    None,
    Empty,
    LocalPath, // "/etc", "~/x", "C:\x", "\\server\x", "./x"
    Scheme,    // a scheme other than http, https and ftp (file:, javascript:, ...)
    Malformed, // no host after all
};

struct WebAddress {
    QUrl url;
    WebRefusal refusal = WebRefusal::None;
    QString scheme; // the refused scheme, lower case

    bool ok() const { return refusal == WebRefusal::None; }
};

// The web field as an address to open. Without a scheme "https://" goes in
// front ("www.example.de" cannot be opened as it stands); only http, https and
// ftp addresses are opened.
WebAddress webAddress(const QString& text);

// The address fields a map look-up uses.
struct MapQuery {
    QString street;
    QString number;
    QString postcode;
    QString town;
    QString language; // the language engine's current language name, e.g. "German"
};

// OpenStreetMap's search, used when no map service is configured.
inline constexpr const char* kOpenStreetMapSearch = "https://www.openstreetmap.org/search";
// The page the configured map service is asked for when its address names no path.
inline constexpr const char* kMapPagePath = "/maps/qvd.php";

// The map page for an address. With `service` (the preference map/url, an http
// or https address) its host and path get the query
//   street=<street>+<number>&city=<postcode>+<town>&lng=<language>
// with blanks as "+" and every other character that needs it percent-encoded
// (a "&" in a street must not start a key). With an empty `service` the street
// and town go to an OpenStreetMap search. A service that is not a web address
// is refused like a web field.
WebAddress mapAddress(const QString& service, const MapQuery& query);

} // namespace kalvendo
