#include "output/export/ExportRows.h"

#include "addressbook/AddressTable.h"

namespace kalvendo {

qint64 TableRows::rowCount() const {
    return m_table.rowCount();
}

void TableRows::readRow(qint64 row, ShownRow& out) const {
    for (int f = 0; f < kShownFieldCount; ++f)
        out[static_cast<size_t>(f)] = m_table.value(static_cast<int>(row), f);
}

} // namespace kalvendo
