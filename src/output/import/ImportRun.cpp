#include "output/import/ImportRun.h"
#include "addressbook/PreparedNumber.h"

#include "addressbook/AddressTable.h"
#include "common/Exception.h"
#include "output/import/RecordSource.h"

#include <vector>

namespace kalvendo {

namespace {

// After an import every shown record has prepared numbers that match its
// telephone and mobile values, as a bulk preparation would leave it. Imported
// records already do; a walk finds whether any other record needs it, and
// only then are the shown records rewritten.
void bringPreparedNumbersUpToDate(AddressTable& table) {
    for (int row = 0; row < table.rowCount(); ++row) {
        if (table.value(row, fTsuche) != prepareNumber(table.value(row, fTelefon)) ||
            table.value(row, fHsuche) != prepareNumber(table.value(row, fMobil))) {
            prepareAllNumbers(table);
            return;
        }
    }
}

} // namespace

ImportResult importRecords(AddressTable& table, RecordSource& source,
                           const ImportProgressFn& progress, int batchSize) {
    table.recordCount(); // an open table, or EDatabaseError
    if (table.isModified())
        table.post();
    else if (table.state() == AddressTable::State::Insert ||
             table.state() == AddressTable::State::Edit)
        table.cancel();

    ImportResult result;
    std::vector<Record> batch;
    batch.reserve(static_cast<size_t>(qMax(1, batchSize)));
    const auto store = [&] {
        if (batch.empty())
            return;
        table.appendRecords(batch);
        result.imported += static_cast<qint64>(batch.size());
        batch.clear();
    };
    const auto tell = [&](qint64 read) {
        return !progress || progress({read, source.position(), source.size()});
    };

    qint64 read = 0;
    try {
        for (;;) {
            if (read % 64 == 0 && !tell(read)) {
                result.cancelled = true;
                break;
            }
            std::optional<Record> given = source.next();
            if (!given)
                break;
            ++read;
            Record r;
            for (int f = 0; f < kFieldCount; ++f)
                r[static_cast<size_t>(f)] = fitToField(f, (*given)[static_cast<size_t>(f)]);
            r[fTsuche] = prepareNumber(r[fTelefon]);
            r[fHsuche] = prepareNumber(r[fMobil]);
            batch.push_back(std::move(r));
            if (static_cast<int>(batch.size()) >= batchSize)
                store();
        }
    } catch (const EInOutError&) {
        // The records read before the failure are kept.
        store();
        throw;
    }
    store();
    if (!result.cancelled)
        tell(read);
    if (read > 0)
        bringPreparedNumbersUpToDate(table);
    table.last();
    result.recordCount = table.recordCount();
    return result;
}

} // namespace kalvendo
