#include "callerid/PhoneNumber.h"

namespace kalvendo {

bool isPhoneKey(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || u == u' ' || u == u'-' || u == u'/' || u == 8 || u == 9 ||
           u == 3 || u == 22 || u == 24;
}

} // namespace kalvendo
