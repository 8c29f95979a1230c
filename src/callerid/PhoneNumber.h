#pragma once

#include <QChar>

namespace kalvendo {

// Whether a character typed into a telephone edit is accepted: digits, blank,
// '-', '/', Backspace, Tab and the copy/paste/cut control codes. (The prepared
// numbers calls are matched against: addressbook/PreparedNumber.h.)
bool isPhoneKey(QChar c);

} // namespace kalvendo
