#include "output/letter/LetterValues.h"

#include "common/IniFile.h"
#include "common/LocaleFormat.h"
#include "settings/Preferences.h"

namespace kalvendo {

QString bankLine(const BankLabels& labels, const QString& bank, const QString& code,
                 const QString& account) {
    return labels.bank + bank + QStringLiteral(" (") + labels.code + u' ' + code +
           QStringLiteral(") ") + labels.account + u' ' + account;
}

QList<LetterBookmark> letterBookmarks(const IniFile& ini, LetterRoad road, const Record& recipient,
                                      const BankLabels& labels, const QDate& today) {
    using namespace prefs::key;
    const auto user = [&ini](UserField field) { return readUserPref(ini, field); };

    QList<LetterBookmark> out;
    const auto add = [&out](const char* name, const QString& value) {
        out.append({QString::fromLatin1(name), value});
    };
    // Each value is read when its row comes, as the letter has always done.
    add("vorname1", user(userFirstname));
    add("name1", user(userName));
    add("strasse1", user(userStreet));
    add("plz1", user(userZip));
    add("wohnort1", user(userCity));
    add("vorname2", user(userFirstname));
    add("name2", user(userName));
    add("strasse2", user(userStreet));
    add("plz2", user(userZip));
    add("wohnort2", user(userCity));
    add("telefon", user(userTel));
    add("fax", user(userFax));
    add("mobil", user(userMobil));
    add("mail", user(userMail));
    add("datum", formatShortDate(today));
    add("anrede", readPref(ini, prefs::letter::adresses));
    add("gruss", readPref(ini, prefs::letter::greetings));
    if (letterWantsBankLine(readPref(ini, prefs::letter::bank)))
        add("bank", bankLine(labels, user(userBank), user(userCode), user(userAccount)));
    add("evorname", recipient[fVorname]);
    add(road == LetterRoad::Word ? "ename" : "enachname", recipient[fName]);
    add("estrasse", recipient[fStrasse]);
    add("enr", recipient[fNr]);
    add("eplz", recipient[fPLZ]);
    add("ewohnort", recipient[fWohnort]);
    if (readPref(ini, prefs::letter::country))
        add("eland", recipient[fLand]);
    return out;
}

} // namespace kalvendo
