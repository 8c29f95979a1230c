#include "addressbook/PreparedNumber.h"

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

void prepareAllNumbers(AddressTable& table, const std::function<void(qsizetype done)>& progress) {
    table.updateEach(
        [](Record& r) {
            r[fTsuche] = prepareNumber(r[fTelefon]);
            r[fHsuche] = prepareNumber(r[fMobil]);
        },
        progress);
}

} // namespace kalvendo
