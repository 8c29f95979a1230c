#pragma once

#include "addressbook/Fields.h"

#include <QString>

#include <array>
#include <functional>

namespace kalvendo {

class AddressTable;

// The shown values of one row, Name .. Gruppe.
using ShownRow = std::array<QString, kShownFieldCount>;

// Told how far the export has got, done of total (rows; an XLSX export walks
// them twice, so there total is twice the rows); returning false cancels the
// export, and the target file is then left as it was.
using ExportProgress = std::function<bool(qint64 done, qint64 total)>;

// What the grid presents, row by row: the writers ask for one row at a time,
// so no export holds the whole table.
class ExportRows {
public:
    virtual ~ExportRows() = default;
    virtual qint64 rowCount() const = 0;
    virtual void readRow(qint64 row, ShownRow& out) const = 0;
};

// The rows of the cursor in its current order and within its filter, read
// through its record cache without moving the current record.
class TableRows final : public ExportRows {
public:
    explicit TableRows(const AddressTable& table) : m_table(table) {}
    qint64 rowCount() const override;
    void readRow(qint64 row, ShownRow& out) const override;

private:
    const AddressTable& m_table;
};

// Calls progress every few hundred rows and at the end; false when cancelled.
class ProgressTicker {
public:
    ProgressTicker(const ExportProgress& progress, qint64 total)
        : m_progress(progress), m_total(total) {}
    bool row(qint64 done) {
        return !m_progress || (done % 256 != 0 && done != m_total) || m_progress(done, m_total);
    }
    bool start() { return !m_progress || m_progress(0, m_total); }

private:
    const ExportProgress& m_progress;
    qint64 m_total;
};

} // namespace kalvendo
