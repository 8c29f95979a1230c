#include "callerid/PhoneNumber.h"

#include "addressbook/AddressTable.h"
#include "addressbook/Fields.h"

namespace kalvendo {

QString prepareNumber(const QString& number) {
    QString out;
    out.reserve(number.size());
    for (const QChar c : number) {
        if (c != u'/' && c != u'-' && c != u' ')
            out.append(c);
    }
    return out;
}

bool isPhoneKey(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || u == u' ' || u == u'-' || u == u'/' || u == 8 || u == 9 ||
           u == 3 || u == 22 || u == 24;
}

void prepareAllNumbers(AddressTable& table, const std::function<void(qsizetype done)>& progress) {
    table.updateEach(
        [](Record& r) {
            r[fTsuche] = prepareNumber(r[fTelefon]);
            r[fHsuche] = prepareNumber(r[fMobil]);
        },
        progress);
}

} // namespace kalvendo
