#pragma once

#include <QString>

namespace kalvendo {

class AddressTable;

// The data a report lists: rows of record fields, read by position.
class ReportRows {
public:
    virtual ~ReportRows();
    virtual int rowCount() const = 0;
    virtual QString value(int row, int field) const = 0;
};

// The rows the address table presents: its current order within its filter,
// the current record with its unsaved edits, as the grid shows them.
class AddressTableRows final : public ReportRows {
public:
    explicit AddressTableRows(const AddressTable& table) : m_table(table) {}
    int rowCount() const override;
    QString value(int row, int field) const override;

private:
    const AddressTable& m_table;
};

} // namespace kalvendo
