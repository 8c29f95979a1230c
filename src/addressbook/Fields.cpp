#include "addressbook/Fields.h"

namespace kalvendo {

namespace {

constexpr FieldDef kFields[kFieldCount] = {
    {"Name", 50},        {"Vorname", 50}, {"Strasse", 50},  {"Nr.", 8},         {"PLZ", 8},
    {"Wohnort", 50},     {"Land", 50},    {"Telefon", 30},  {"Mobil", 30},      {"Fax", 30},
    {"Definierbar", 50}, {"Email", 50},   {"Homepage", 50}, {"Geburtstag", 10}, {"Gruppe", 50},
    {"tsuche", 30},      {"hsuche", 30},
};

constexpr IndexDef kIndexes[kIndexCount] = {
    {"NAME", fName},     {"VORNAME", fVorname},         {"STRASSE", fStrasse},
    {"PLZ", fPLZ},       {"WOHNORT", fWohnort},         {"TELEFON", fTelefon},
    {"TSUCHE", fTsuche}, {"HSUCHE", fHsuche},           {"GEBURTSTAG", fGeburtstag},
    {"GRUPPE", fGruppe}, {"DEFINIERBAR", fDefinierbar},
};

} // namespace

const FieldDef& fieldDef(int pos) {
    return kFields[pos];
}
QString fieldName(int pos) {
    return QString::fromLatin1(kFields[pos].name);
}
int fieldWidth(int pos) {
    return kFields[pos].width;
}

int fieldPosition(const QString& name) {
    for (int i = 0; i < kFieldCount; ++i) {
        if (name.compare(QLatin1String(kFields[i].name), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

const IndexDef& indexDef(int indexNo) {
    return kIndexes[indexNo];
}
QString indexName(int indexNo) {
    return QString::fromLatin1(kIndexes[indexNo].name);
}

int indexNumber(const QString& name) {
    for (int i = 0; i < kIndexCount; ++i) {
        if (name.compare(QLatin1String(kIndexes[i].name), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int indexOfField(int pos) {
    for (int i = 0; i < kIndexCount; ++i) {
        if (kIndexes[i].field == pos)
            return i;
    }
    return -1;
}

QString fitToField(int pos, const QString& value) {
    QString v = value;
    const qsizetype width = kFields[pos].width;
    if (v.size() > width) {
        qsizetype cut = width;
        if (v.at(cut - 1).isHighSurrogate())
            --cut;
        v.truncate(cut);
    }
    for (const QChar c : std::as_const(v)) {
        if (c.isSurrogate()) {
            // Rare: only then pay for the round trip that repairs lone halves.
            return QString::fromUtf8(v.toUtf8());
        }
    }
    return v;
}

} // namespace kalvendo
