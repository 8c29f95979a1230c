#pragma once

#include <QtGlobal>

#include <functional>

namespace kalvendo {

class AddressTable;
class RecordSource;

struct ImportProgress {
    qint64 records = 0;  // read from the file so far
    qint64 position = 0; // of size, in the source's unit
    qint64 size = 0;
};
// Returning false cancels the import; what was read until then is kept.
using ImportProgressFn = std::function<bool(const ImportProgress&)>;

struct ImportResult {
    qint64 imported = 0; // records appended
    bool cancelled = false;
    qint64 recordCount = 0; // records in the table afterwards
};

// Appends every record of the source to the table: values cut to their
// fields' widths, both prepared numbers computed from the telephone and mobile
// values, stored in transactions of up to batchSize records. Afterwards every
// record the table shows has its prepared numbers up to date (as after a bulk
// preparation) and the last record of the current order is current. A pending
// change of the table is saved first.
//
// A read or store failure keeps the records stored before it and is raised
// (EInOutError from the source, EDatabaseError from the table).
ImportResult importRecords(AddressTable& table, RecordSource& source,
                           const ImportProgressFn& progress = {}, int batchSize = 1000);

} // namespace kalvendo
