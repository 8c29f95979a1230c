#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace kalvendo {

class IniFile;

// Every key of ab.ini, with the type it is stored as. Readers never spell a
// section or key themselves: they name one of these, together with the default
// they pass (the readers below), because the same key has different defaults
// at different readers.
enum class PrefType { String, Integer, Boolean };

struct PrefKey {
    const char* section;
    const char* name;
    PrefType type;

    QString sectionName() const { return QString::fromLatin1(section); }
    QString keyName() const { return QString::fromLatin1(name); }
};

template <typename T> struct PrefRead {
    PrefKey key;
    T def;
};
using StringRead = PrefRead<QString>;
using IntRead = PrefRead<int>;
using BoolRead = PrefRead<bool>;

namespace prefs {

namespace key {
// [preferences]
inline constexpr PrefKey language{"preferences", "language", PrefType::String};
inline constexpr PrefKey dbpath{"preferences", "dbpath", PrefType::String};
inline constexpr PrefKey group{"preferences", "group", PrefType::String};
inline constexpr PrefKey office{"preferences", "office", PrefType::Integer};
inline constexpr PrefKey definably{"preferences", "definably", PrefType::String};
inline constexpr PrefKey isdn{"preferences", "isdn", PrefType::Boolean};
inline constexpr PrefKey isdnlog{"preferences", "isdnlog", PrefType::Boolean};
inline constexpr PrefKey isdncp{"preferences", "isdncp", PrefType::Boolean};
inline constexpr PrefKey isdncpn{"preferences", "isdncpn", PrefType::String};
inline constexpr PrefKey isdnpath{"preferences", "isdnpath", PrefType::String};
// Never written by the program; expected in the installed file.
inline constexpr PrefKey searchbox{"preferences", "searchbox", PrefType::Integer};
// Home country (ISO 3166 code such as "DE") and home area code ("030"): numbers
// written without country or area code are read as being in them when callers
// are matched by the international form of their number. Changing either
// rebuilds that index.
inline constexpr PrefKey country{"preferences", "country", PrefType::String};
inline constexpr PrefKey areacode{"preferences", "areacode", PrefType::String};
// A desktop notification for each incoming call, besides the status bar.
inline constexpr PrefKey notify{"preferences", "notify", PrefType::Boolean};

// [callmonitor]: the router's plain-text call monitor on TCP (a FRITZ!Box
// switches it on when "#96*5*" is dialled), a second source of incoming calls
// besides CAPI.
inline constexpr PrefKey callmonitorEnabled{"callmonitor", "enabled", PrefType::Boolean};
inline constexpr PrefKey callmonitorHost{"callmonitor", "host", PrefType::String};
inline constexpr PrefKey callmonitorPort{"callmonitor", "port", PrefType::Integer};

// [user], the sender's own data, in the order the settings dialog shows them.
inline constexpr std::array<PrefKey, 15> user{{
    {"user", "name", PrefType::String},
    {"user", "firstname", PrefType::String},
    {"user", "company", PrefType::String},
    {"user", "street", PrefType::String},
    {"user", "zip", PrefType::String},
    {"user", "city", PrefType::String},
    {"user", "country", PrefType::String},
    {"user", "tel", PrefType::String},
    {"user", "fax", PrefType::String},
    {"user", "mobil", PrefType::String},
    {"user", "mail", PrefType::String},
    {"user", "website", PrefType::String},
    {"user", "bank", PrefType::String},
    {"user", "code", PrefType::String},
    {"user", "account", PrefType::String},
}};
enum UserField {
    userName,
    userFirstname,
    userCompany,
    userStreet,
    userZip,
    userCity,
    userCountry,
    userTel,
    userFax,
    userMobil,
    userMail,
    userWebsite,
    userBank,
    userCode,
    userAccount
};

// [letter]
inline constexpr PrefKey adresses{"letter", "adresses", PrefType::String};
inline constexpr PrefKey greetings{"letter", "greetings", PrefType::String};
inline constexpr PrefKey letterBank{"letter", "bank", PrefType::Boolean};
inline constexpr PrefKey letterCountry{"letter", "country", PrefType::Boolean};

// [export]: format 0 Excel, 1 PDF, 2 CSV/text, 3 HTML; print 0..3 the reports.
inline constexpr PrefKey exportFormat{"export", "format", PrefType::Integer};
inline constexpr PrefKey exportPrint{"export", "print", PrefType::Integer};

// [pdf]
inline constexpr PrefKey pdfTitle{"pdf", "title", PrefType::String};
inline constexpr PrefKey pdfAuthor{"pdf", "author", PrefType::String};

// [search]: address templates of the Internet number search, never written.
inline constexpr PrefKey searchNumber{"search", "number", PrefType::String};
inline constexpr PrefKey searchInvers{"search", "invers", PrefType::String};

// [map]: the map service (host and path) asked for an address; never written.
inline constexpr PrefKey mapUrl{"map", "url", PrefType::String};
} // namespace key

// What each reader passes as its default. A reader that is not listed here
// does not read ab.ini.

// Main window creation and first show.
namespace startup {
inline const StringRead definably{key::definably, {}};
inline const BoolRead isdn{key::isdn, true};
inline const StringRead group{key::group, {}};
inline const IntRead searchbox{key::searchbox, 0};
} // namespace startup

// Settings dialog: empty, 0 or false throughout.
namespace dialog {
inline const StringRead language{key::language, {}};
inline const StringRead dbpath{key::dbpath, {}};
inline const StringRead group{key::group, {}};
inline const IntRead office{key::office, 0};
inline const StringRead definably{key::definably, {}};
inline const StringRead adresses{key::adresses, {}};
inline const StringRead greetings{key::greetings, {}};
inline const BoolRead letterBank{key::letterBank, false};
inline const BoolRead letterCountry{key::letterCountry, false};
inline const IntRead exportFormat{key::exportFormat, 0};
inline const IntRead exportPrint{key::exportPrint, 0};
inline const StringRead pdfTitle{key::pdfTitle, {}};
inline const StringRead pdfAuthor{key::pdfAuthor, {}};
inline const BoolRead isdn{key::isdn, false};
inline const BoolRead isdnlog{key::isdnlog, false};
inline const BoolRead isdncp{key::isdncp, false};
inline const StringRead isdnpath{key::isdnpath, {}};
// The user keys all read with an empty default.
} // namespace dialog

// Call notification, at each incoming call.
namespace callNotice {
inline const BoolRead isdnlog{key::isdnlog, true};
inline const StringRead isdnpath{key::isdnpath, {}};
inline const BoolRead notify{key::notify, true};
} // namespace callNotice

// Caller identification sources and matching, when they are set up (start-up
// and whenever the settings change).
namespace callerId {
inline const BoolRead callmonitorEnabled{key::callmonitorEnabled, false};
inline const StringRead callmonitorHost{key::callmonitorHost, QStringLiteral("fritz.box")};
inline const IntRead callmonitorPort{key::callmonitorPort, 1012};
inline const StringRead country{key::country, QStringLiteral("DE")};
inline const StringRead areacode{key::areacode, {}};
} // namespace callerId

// Internet number search window, at its creation and at each search.
namespace numberSearch {
inline const BoolRead isdncp{key::isdncp, true};
inline const StringRead isdncpn{key::isdncpn, {}};
inline const StringRead number{key::searchNumber, {}};
inline const StringRead invers{key::searchInvers, {}};
} // namespace numberSearch

// Letter composer, at each letter. The bank line is read as an integer and
// only the value 1 switches it on (see letterWantsBankLine).
namespace letter {
inline const IntRead office{key::office, 0};
inline const StringRead adresses{key::adresses, {}};
inline const StringRead greetings{key::greetings, {}};
inline const IntRead bank{key::letterBank, 0};
inline const BoolRead country{key::letterCountry, false};
} // namespace letter

// Printing and file export, at each run. The language only where no window
// holds it (the command line's export).
namespace output {
inline const StringRead language{key::language, {}};
inline const IntRead exportFormat{key::exportFormat, 0};
inline const IntRead exportPrint{key::exportPrint, 0};
inline const StringRead pdfTitle{key::pdfTitle, {}};
inline const StringRead pdfAuthor{key::pdfAuthor, {}};
} // namespace output

// Map button and map window, at each showing: empty means OpenStreetMap.
namespace map {
inline const StringRead url{key::mapUrl, {}};
} // namespace map

// Backup, at each run.
namespace backup {
inline const StringRead dbpath{key::dbpath, {}};
} // namespace backup

} // namespace prefs

QString readPref(const IniFile& ini, const StringRead& read);
int readPref(const IniFile& ini, const IntRead& read);
bool readPref(const IniFile& ini, const BoolRead& read);
// A [user] key, empty by default at every reader.
QString readUserPref(const IniFile& ini, prefs::key::UserField field);

void writePref(IniFile& ini, const PrefKey& key, const QString& value);
void writePref(IniFile& ini, const PrefKey& key, int value);
void writePref(IniFile& ini, const PrefKey& key, bool value);
// Without this, a string literal would pick the bool overload.
void writePref(IniFile& ini, const PrefKey& key, const char*) = delete;

// The letter's bank line is on only for a stored 1 ("2" ticks the dialog's box
// but adds no bank line).
inline bool letterWantsBankLine(int stored) {
    return stored == 1;
}

// Everything the settings dialog keeps in ab.ini, read with its defaults.
struct DialogPreferences {
    QString language;
    std::array<QString, 15> user;
    QString dbpath;
    QString group;
    int office = 0;
    QString definably;
    QString adresses;
    QString greetings;
    bool letterBank = false;
    bool letterCountry = false;
    int exportFormat = 0;
    int exportPrint = 0;
    QString pdfTitle;
    QString pdfAuthor;
    bool isdn = false;
    bool isdnlog = false;
    bool isdncp = false;
    QString isdnpath;

    static DialogPreferences read(const IniFile& ini);
    // Writes every key, changed or not, in the dialog's writing order:
    // language; the user keys; dbpath, group, office, definably; the letter
    // keys; export; pdf; isdn, isdnlog, isdncp, isdnpath. Throws
    // EIniFileException at the first refused write; later keys stay unwritten.
    void write(IniFile& ini) const;
};

// group.txt: one group per line in the user's order. A missing file is an
// empty list; a file that exists but cannot be read throws EInOutError, so
// that nobody saves an empty list over groups that are only unreadable.
QStringList readGroupFile(const QString& path);
// UTF-8 with CRLF line ends, replaced as a whole. Throws EInOutError.
void writeGroupFile(const QString& path, const QStringList& groups);

// The two character-set lines of the database engine's adslocal.cfg (beside
// the executable). Lines are looked at from the second one on; the last match
// wins. A missing or unreadable file gives two empty texts.
struct AdsCharSets {
    QString ansi;
    QString oem;
};
AdsCharSets readAdsCharSets(const QString& path);

} // namespace kalvendo
