#pragma once

#include <QString>

#include <array>

namespace kalvendo {

inline constexpr int kFieldCount = 17;
inline constexpr int kIndexCount = 11;
// The fields the grid shows and the file export writes: Name .. Gruppe, the
// first fifteen positions; tsuche and hsuche are never shown.
inline constexpr int kShownFieldCount = 15;

// Field positions of the record layout; import and export rely on this order.
enum FieldPos : int {
    fName,
    fVorname,
    fStrasse,
    fNr,
    fPLZ,
    fWohnort,
    fLand,
    fTelefon,
    fMobil,
    fFax,
    fDefinierbar,
    fEmail,
    fHomepage,
    fGeburtstag,
    fGruppe,
    fTsuche,
    fHsuche,
};

struct FieldDef {
    const char* name; // also the column name in the table
    int width;        // maximum length in characters
};

struct IndexDef {
    const char* name; // also the table name in the index file
    int field;
};

// One record: the seventeen values in field order.
using Record = std::array<QString, kFieldCount>;

const FieldDef& fieldDef(int pos);
QString fieldName(int pos);
int fieldWidth(int pos);
// Position of the field with that name, ignoring case; -1 when there is none.
int fieldPosition(const QString& name);

const IndexDef& indexDef(int indexNo);
QString indexName(int indexNo);
// Number of the index with that name, ignoring case; -1 when there is none.
int indexNumber(const QString& name);
// Number of the index keyed on the field; -1 when the field has none.
int indexOfField(int pos);

// The value as the field stores it: at most the field's width, never ending in
// half a surrogate pair, and with unpaired surrogates replaced so that the text
// survives the round trip through UTF-8 unchanged.
QString fitToField(int pos, const QString& value);

} // namespace kalvendo
