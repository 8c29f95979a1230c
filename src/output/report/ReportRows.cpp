#include "output/report/ReportRows.h"

#include "addressbook/AddressTable.h"

namespace kalvendo {

ReportRows::~ReportRows() = default;

int AddressTableRows::rowCount() const {
    return m_table.isActive() ? m_table.rowCount() : 0;
}

QString AddressTableRows::value(int row, int field) const {
    return m_table.value(row, field);
}

} // namespace kalvendo
