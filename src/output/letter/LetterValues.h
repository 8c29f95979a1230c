#pragma once

#include "addressbook/Fields.h"

#include <QDate>
#include <QList>
#include <QString>

namespace kalvendo {

class IniFile;

// The word processor chosen in ab.ini (preferences/office).
enum class LetterRoad { Word = 0, Writer = 1 };

struct LetterBookmark {
    QString name;
    QString value;
};

// The three labels of the bank line, named strings in the current language
// ("Bankverbindung: ", "BLZ.", "Konto-Nr." in German).
struct BankLabels {
    QString bank;
    QString code;
    QString account;
};

// "<bank label><bank> (<code label> <code>) <account label> <account>", with
// every separator even when the sender left the bank data empty.
QString bankLine(const BankLabels& labels, const QString& bank, const QString& code,
                 const QString& account);

// The bookmarks a letter fills, in the order they are filled, with their values
// read from ab.ini now: the sender twice, contact data, the date, salutation
// and closing, the bank line (only for letter/bank = 1), the recipient from
// `recipient` (the edit fields' texts, unsaved edits included) and the country
// (only when letter/country is set). The recipient's last name goes to `ename`
// in the Word template and `enachname` in the Writer template.
QList<LetterBookmark> letterBookmarks(const IniFile& ini, LetterRoad road, const Record& recipient,
                                      const BankLabels& labels, const QDate& today);

} // namespace kalvendo
