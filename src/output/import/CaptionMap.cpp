#include "output/import/CaptionMap.h"

#include "addressbook/Fields.h"

#include <QHash>

namespace kalvendo {

namespace {

// Letters and digits only, without accents, case folded: "E-Mail-Adresse",
// "e-mail adresse" and "EMailAdresse" are one caption.
QString normalized(const QString& caption) {
    const QString decomposed = caption.normalized(QString::NormalizationForm_KD);
    QString out;
    out.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.isLetterOrNumber())
            out.append(c.toCaseFolded());
    }
    return out;
}

struct Known {
    const char* caption;
    int field;
    int rank;
};

// Our grid headers (German, English, French, Spanish, Italian) and field
// names rank 0 with the plain captions of other programs; for the address
// and telephone fields of mail programs, private before business before other.
constexpr Known kKnown[] = {
    // Name
    {"Name", fName, 0},
    {"Last name", fName, 0},
    {"Nom", fName, 0},
    {"Apellido", fName, 0},
    {"Cognome", fName, 0},
    {"Nachname", fName, 0},
    {"Surname", fName, 0},
    {"Family Name", fName, 0},
    {"Apellidos", fName, 0},
    // Vorname
    {"Vorname", fVorname, 0},
    {"First name", fVorname, 0},
    {"Prénom", fVorname, 0},
    {"Nombre", fVorname, 0},
    {"Nome", fVorname, 0},
    {"Given Name", fVorname, 0},
    // Strasse
    {"Straße", fStrasse, 0},
    {"Strasse", fStrasse, 0},
    {"Street", fStrasse, 0},
    {"Rue", fStrasse, 0},
    {"Calle", fStrasse, 0},
    {"Via", fStrasse, 0},
    {"Home Street", fStrasse, 0},
    {"Straße privat", fStrasse, 0},
    {"Home Address", fStrasse, 1},
    {"Address 1 - Street", fStrasse, 1},
    {"Business Street", fStrasse, 2},
    {"Straße geschäftlich", fStrasse, 2},
    {"Work Address", fStrasse, 2},
    {"Other Street", fStrasse, 3},
    {"Weitere Straße", fStrasse, 3},
    // Nr.
    {"Nr.", fNr, 0},
    {"No.", fNr, 0},
    {"N°", fNr, 0},
    {"N.º", fNr, 0},
    {"N.", fNr, 0},
    {"Hausnummer", fNr, 0},
    {"House number", fNr, 0},
    // PLZ
    {"PLZ.", fPLZ, 0},
    {"Zip code", fPLZ, 0},
    {"Code postal", fPLZ, 0},
    {"C.P.", fPLZ, 0},
    {"CAP", fPLZ, 0},
    {"Postleitzahl", fPLZ, 0},
    {"Postal Code", fPLZ, 0},
    {"Postcode", fPLZ, 0},
    {"ZIP", fPLZ, 0},
    {"Home Postal Code", fPLZ, 0},
    {"Postleitzahl privat", fPLZ, 0},
    {"Home ZipCode", fPLZ, 0},
    {"Address 1 - Postal Code", fPLZ, 1},
    {"Business Postal Code", fPLZ, 2},
    {"Postleitzahl geschäftlich", fPLZ, 2},
    {"Work ZipCode", fPLZ, 2},
    {"Other Postal Code", fPLZ, 3},
    {"Weitere Postleitzahl", fPLZ, 3},
    // Wohnort
    {"Stadt", fWohnort, 0},
    {"City", fWohnort, 0},
    {"Ville", fWohnort, 0},
    {"Ciudad", fWohnort, 0},
    {"Città", fWohnort, 0},
    {"Wohnort", fWohnort, 0},
    {"Ort", fWohnort, 0},
    {"Town", fWohnort, 0},
    {"Home City", fWohnort, 0},
    {"Ort privat", fWohnort, 0},
    {"Address 1 - City", fWohnort, 1},
    {"Business City", fWohnort, 2},
    {"Ort geschäftlich", fWohnort, 2},
    {"Work City", fWohnort, 2},
    {"Other City", fWohnort, 3},
    {"Weiterer Ort", fWohnort, 3},
    // Land
    {"Land", fLand, 0},
    {"Country", fLand, 0},
    {"Pays", fLand, 0},
    {"País", fLand, 0},
    {"Paese", fLand, 0},
    {"Home Country", fLand, 0},
    {"Home Country/Region", fLand, 0},
    {"Land/Region privat", fLand, 0},
    {"Land privat", fLand, 0},
    {"Address 1 - Country", fLand, 1},
    {"Business Country", fLand, 2},
    {"Business Country/Region", fLand, 2},
    {"Land/Region geschäftlich", fLand, 2},
    {"Work Country", fLand, 2},
    {"Other Country/Region", fLand, 3},
    {"Weiteres Land/Region", fLand, 3},
    // Telefon
    {"Telefon", fTelefon, 0},
    {"Telephone", fTelefon, 0},
    {"Téléphone", fTelefon, 0},
    {"Teléfono", fTelefon, 0},
    {"Telefono", fTelefon, 0},
    {"Phone", fTelefon, 0},
    {"Home Phone", fTelefon, 0},
    {"Telefon privat", fTelefon, 0},
    {"Primary Phone", fTelefon, 1},
    {"Phone 1 - Value", fTelefon, 1},
    {"Business Phone", fTelefon, 2},
    {"Telefon geschäftlich", fTelefon, 2},
    {"Work Phone", fTelefon, 2},
    {"Other Phone", fTelefon, 3},
    {"Weiteres Telefon", fTelefon, 3},
    // Mobil
    {"Mobil", fMobil, 0},
    {"Mobile", fMobil, 0},
    {"Portable", fMobil, 0},
    {"Móvil", fMobil, 0},
    {"Cellulare", fMobil, 0},
    {"Mobile Phone", fMobil, 0},
    {"Mobiltelefon", fMobil, 0},
    {"Mobile Number", fMobil, 0},
    {"Cell Phone", fMobil, 0},
    {"Handy", fMobil, 0},
    // Fax
    {"Fax", fFax, 0},
    {"Home Fax", fFax, 0},
    {"Fax privat", fFax, 0},
    {"Fax Number", fFax, 1},
    {"Business Fax", fFax, 2},
    {"Fax geschäftlich", fFax, 2},
    {"Other Fax", fFax, 3},
    {"Weiteres Fax", fFax, 3},
    // Definierbar (besides the user's own label)
    {"Definierbar", fDefinierbar, 0},
    // Email
    {"E-Mail", fEmail, 0},
    {"Correo electrónico", fEmail, 0},
    {"E-mail Address", fEmail, 0},
    {"E-Mail-Adresse", fEmail, 0},
    {"Primary Email", fEmail, 0},
    {"E-mail 1 - Value", fEmail, 0},
    {"Mail", fEmail, 0},
    {"E-mail 2 Address", fEmail, 1},
    {"E-Mail 2: Adresse", fEmail, 1},
    {"Secondary Email", fEmail, 1},
    {"E-mail 2 - Value", fEmail, 1},
    // Homepage
    {"Internetseite", fHomepage, 0},
    {"Website", fHomepage, 0},
    {"Site web", fHomepage, 0},
    {"Página web", fHomepage, 0},
    {"Sito web", fHomepage, 0},
    {"Homepage", fHomepage, 0},
    {"Web Page", fHomepage, 0},
    {"Webseite", fHomepage, 0},
    {"Web Page 1", fHomepage, 0},
    {"Website 1 - Value", fHomepage, 0},
    {"URL", fHomepage, 0},
    {"Web Page 2", fHomepage, 1},
    // Geburtstag
    {"Geburtstag", fGeburtstag, 0},
    {"Birthday", fGeburtstag, 0},
    {"Anniversaire", fGeburtstag, 0},
    {"Cumpleaños", fGeburtstag, 0},
    {"Compleanno", fGeburtstag, 0},
    // Gruppe
    {"Gruppe", fGruppe, 0},
    {"Group", fGruppe, 0},
    {"Groupe", fGruppe, 0},
    {"Grupo", fGruppe, 0},
    {"Gruppo", fGruppe, 0},
    {"Categories", fGruppe, 0},
    {"Kategorien", fGruppe, 0},
    {"Group Membership", fGruppe, 0},
};

const QHash<QString, CaptionMatch>& knownCaptions() {
    static const QHash<QString, CaptionMatch> table = [] {
        QHash<QString, CaptionMatch> t;
        for (const Known& k : kKnown)
            t.insert(normalized(QString::fromUtf8(k.caption)), CaptionMatch{k.field, k.rank});
        return t;
    }();
    return table;
}

} // namespace

ColumnMapping positionalMapping() {
    ColumnMapping m;
    for (int f = 0; f < kFieldCount; ++f)
        m.fields.push_back(f);
    return m;
}

CaptionMatch matchCaption(const QString& caption, const QString& userLabel) {
    const QString key = normalized(caption);
    if (key.isEmpty())
        return {};
    // The user's own name for the field wins over every other meaning.
    if (!userLabel.isEmpty() && key == normalized(userLabel))
        return {fDefinierbar, 0};
    return knownCaptions().value(key);
}

std::optional<ColumnMapping> captionMapping(const QStringList& line, const QString& userLabel) {
    ColumnMapping m;
    m.captionLine = true;
    m.fields.assign(static_cast<size_t>(line.size()), -1);
    std::vector<int> bestColumn(kFieldCount, -1);
    std::vector<int> bestRank(kFieldCount, 0);
    for (qsizetype c = 0; c < line.size(); ++c) {
        const CaptionMatch match = matchCaption(line.at(c), userLabel);
        if (match.field < 0)
            continue;
        const auto f = static_cast<size_t>(match.field);
        if (bestColumn[f] < 0 || match.rank < bestRank[f]) {
            bestColumn[f] = static_cast<int>(c);
            bestRank[f] = match.rank;
        }
    }
    int named = 0;
    for (int f = 0; f < kFieldCount; ++f) {
        if (bestColumn[static_cast<size_t>(f)] >= 0) {
            m.fields[static_cast<size_t>(bestColumn[static_cast<size_t>(f)])] = f;
            ++named;
        }
    }
    if (named < 2)
        return std::nullopt;
    return m;
}

} // namespace kalvendo
