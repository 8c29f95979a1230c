#include "addressbook/GroupFilter.h"

#include "addressbook/AddressTable.h"

namespace kalvendo {

const QStringList& allGroupsCaptions() {
    static const QStringList all = {QStringLiteral("Alle Gruppen"), QStringLiteral("All groups"),
                                    QStringLiteral("Tous les groupes"),
                                    QStringLiteral("Todos los grupos"),
                                    QStringLiteral("Tutti i gruppi")};
    return all;
}

bool isAllGroupsCaption(const QString& group) {
    return allGroupsCaptions().contains(group, Qt::CaseSensitive);
}

void setGroupFilter(AddressTable& table, const QString& group) {
    if (isAllGroupsCaption(group)) {
        table.setFiltered(false);
        return;
    }
    table.setFilter(QStringLiteral("Gruppe = [") + group + u']');
    table.setFiltered(true);
}

} // namespace kalvendo
