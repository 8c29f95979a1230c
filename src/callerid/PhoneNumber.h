#pragma once

#include <QString>

namespace kalvendo {

// The prepared form of a telephone number that incoming calls are matched
// against: the text with every '/', '-' and blank removed, nothing else changed.
QString prepareNumber(const QString& number);

// Whether a character typed into a telephone edit is accepted: digits, blank,
// '-', '/', Backspace, Tab and the copy/paste/cut control codes.
bool isPhoneKey(QChar c);

} // namespace kalvendo
